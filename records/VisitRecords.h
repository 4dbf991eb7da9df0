#pragma once

#include "PatientStore.h"
#include "engine/Assessment.h"
#include "engine/TrajectoryAlerts.h"
#include "engine/WhoReference.h"

#include <QDate>
#include <QString>

#include <optional>

#include <vector>

// From the window's calculation to a stored visit and back to the engine's rules: the age the
// dates give, a past measurement assessed at its own age, the plausibility of a visit and the
// alerts of a patient. Texts use the decimal comma, as the window shows them.
namespace vimora::records {

Date toDate(QDate date);
QDate toQDate(Date date);

/// A measure's text with its decimal comma ("1,08") as a number, or none when it is not one.
std::optional<double> measureNumber(const QString& text);

/// The age on `date` of a patient born on `birth`, as the window's age field takes it ("10,42").
/// Throws StoreError Input with the French reason when the dates are refused.
QString ageOn(QDate birth, QDate date, QDate today = QDate::currentDate());

/// The visit that a complete calculation gives, on `date`, with the texts the window showed.
Visit visitFromCalculation(const Calculation& calculation, qint64 patientId, QDate date);

/// A past measurement ("Ajouter une mesure..."): assessed by the engine at the age that `date`
/// gives. Throws StoreError Input with the French reason when a date is refused, a measure is
/// not a number above zero, or the calculation stops.
Visit assessMeasurement(const Patient& patient, QDate date, const QString& poids, const QString& taille,
                        QDate today = QDate::currentDate());

/// A stored visit judged again for `patient` as the patient is now: the age its dates give, then
/// the index, bounds, band, advice and objective, as assessMeasurement() gives them. Its id, date,
/// measures, remark and creation are kept. The dates are checked against each other, not against
/// today, since the visit was accepted on its day. Throws StoreError Input with the French reason
/// when it can no longer be judged ("Une consultation de ce patient ne peut pas être réévaluée : la
/// date de la consultation précède la date de naissance.").
Visit rejudged(const Patient& patient, const Visit& stored);

/// True when two visits show the same judgement: age, index, bounds, band, advice and objective.
bool sameJudgement(const Visit& a, const Visit& b);

/// Why a visit cannot be stored (French), or an empty text: weight and height must be numbers
/// above zero, the remark at most 1,000 characters.
QString visitProblem(const Visit& visit);

/// Why a visit is implausible (French, to confirm before storing it), or an empty text.
QString implausibility(const Visit& visit);

/// A patient's visits, given in any order, as the engine's points in date order (one day's visits
/// in the order they were stored), with their age and index read back as numbers and those kept
/// despite an implausibility flagged: what the trajectory chart draws.
std::vector<TrajectoryPoint> trajectoryOf(const std::vector<Visit>& visits);

/// The WHO z-score and percentile of a child's visit, at the exact age in days between the birth
/// and the visit and at the visit's index; none for an adult (as the visit's age says), from 229
/// months, or when the visit's figures do not read.
std::optional<WhoScore> whoScoreOf(const Patient& patient, const Visit& visit);

/// The alerts of a patient's visits, given in any order.
std::vector<TrajectoryAlert> alertsOf(const std::vector<Visit>& visits);

} // namespace vimora::records
