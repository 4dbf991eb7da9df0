#pragma once

#include "engine/ReferenceThresholds.h"
#include "engine/WhoReference.h"

#include <QString>

// The words the chart, the chart dialog and the patient sheet share, written once.
namespace vimora::chart {

/// "Masculin" or "Féminin", as the window's sex choice reads.
QString sexName(Sex sex);

/// "garçon" or "fille".
QString childWord(Sex sex);

/// "garçons" or "filles".
QString childrenWord(Sex sex);

/// A weight range: "de 56,65 à 76,25 kg".
QString weightRange(const QString& minimum, const QString& maximum);

/// The normal weights for a height, as a sentence.
QString normalWeightSentence(const QString& height, const QString& minimum, const QString& maximum);

/// The WHO's figures after their label: "1,23 — percentile 89,1", "> 99,9" or "< 0,1" at the
/// extremes, with " — valeur à vérifier" beyond ±5.
QString whoFigures(const WhoScore& score);

/// "Z-score IMC/âge (OMS)": the label of the WHO's figures.
QString whoLabel();

/// The sheets' line of the WHO's figures: "Z-score IMC/âge (OMS) : 1,23 — percentile 89,1".
QString whoLine(const WhoScore& score);

/// French spacing: a non-breaking space before "!", "?", ";", ":" and "»" and after "«", so that
/// a line never begins with the punctuation.
QString withFrenchSpacing(QString text);

} // namespace vimora::chart
