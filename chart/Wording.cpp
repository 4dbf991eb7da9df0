#include "Wording.h"

#include <QRegularExpression>

namespace vimora::chart {

QString sexName(Sex sex) {
    return sex == Sex::Male ? QStringLiteral("Masculin") : QStringLiteral("Féminin");
}

QString childWord(Sex sex) {
    return sex == Sex::Male ? QStringLiteral("garçon") : QStringLiteral("fille");
}

QString childrenWord(Sex sex) {
    return sex == Sex::Male ? QStringLiteral("garçons") : QStringLiteral("filles");
}

QString weightRange(const QString& minimum, const QString& maximum) {
    return QStringLiteral("de %1 à %2 kg").arg(minimum, maximum);
}

QString normalWeightSentence(const QString& height, const QString& minimum, const QString& maximum) {
    return QStringLiteral("Poids normal pour %1 m : %2.").arg(height, weightRange(minimum, maximum));
}

QString withFrenchSpacing(QString text) {
    static const QRegularExpression before(QStringLiteral(" +([!?;:»])"));
    static const QRegularExpression after(QStringLiteral("« +"));
    text.replace(before, QStringLiteral("\u00A0\\1"));
    text.replace(after, QStringLiteral("«\u00A0"));
    return text;
}

QString whoFigures(const WhoScore& score) {
    QString figures = QStringLiteral("%1 — percentile %2")
                          .arg(QString::fromStdString(whoZText(score.z)),
                               QString::fromStdString(whoPercentileDisplay(score.percentile)));
    if (whoValueToCheck(score.z))
        figures +=
            QStringLiteral(" — ") + QString::fromUtf8(kWhoCheckText.data(), qsizetype(kWhoCheckText.size()));
    return figures;
}

QString whoLabel() {
    return QStringLiteral("Z-score IMC/âge (OMS)");
}

QString whoLine(const WhoScore& score) {
    return whoLabel() + QStringLiteral(" : ") + whoFigures(score);
}

} // namespace vimora::chart
