#include "VisitRecords.h"

#include "engine/EngineError.h"
#include "engine/Measures.h"
#include "engine/VisitPlausibility.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <unordered_map>

namespace vimora::records {

namespace {

QString text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

// The band, advice and objective texts: a few hundred different ones over a large import, each
// converted once rather than for every visit.
QString tableText(const std::string& utf8) {
    constexpr std::size_t kKept = 4096;
    thread_local std::unordered_map<std::string, QString> converted;
    if (const auto found = converted.find(utf8); found != converted.end())
        return found->second;
    if (converted.size() == kKept)
        converted.clear();
    return converted.emplace(utf8, text(utf8)).first->second;
}

[[noreturn]] void refuse(const std::string& message) {
    throw StoreError(StoreError::Kind::Input, text(withFinalFullStop(message)));
}

} // namespace

// Read from a copy on the stack when short and ASCII, as measures are: a large import reads each
// visit's measures several times.
std::optional<double> measureNumber(const QString& text) {
    try {
        std::array<char, 32> ascii{};
        if (text.size() <= qsizetype(ascii.size()) &&
            std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; })) {
            std::transform(text.cbegin(), text.cend(), ascii.begin(),
                           [](QChar c) { return char(c.unicode()); });
            return parseMeasure(std::string_view(ascii.data(), std::size_t(text.size())), kDecimalSeparator);
        }
        return parseMeasure(text.toStdString(), kDecimalSeparator);
    } catch (const EngineError&) {
        return std::nullopt;
    }
}

Date toDate(QDate date) {
    int year = 0;
    int month = 0;
    int day = 0;
    date.getDate(&year, &month, &day);
    return {std::chrono::year(year), std::chrono::month(unsigned(month)), std::chrono::day(unsigned(day))};
}

QDate toQDate(Date date) {
    return {int(date.year()), int(unsigned(date.month())), int(unsigned(date.day()))};
}

QString ageOn(QDate birth, QDate date, QDate today) {
    try {
        return text(visitAge(toDate(birth), toDate(date), toDate(today), kDecimalSeparator).text);
    } catch (const EngineError& error) {
        refuse(error.message());
    }
}

Visit visitFromCalculation(const Calculation& calculation, qint64 patientId, QDate date) {
    Visit visit;
    visit.patientId = patientId;
    visit.date = date;
    visit.age = text(calculation.ageText);
    visit.poids = text(calculation.weightText);
    visit.taille = text(calculation.heightText);
    visit.imc = text(calculation.indexText);
    visit.poidsMax = text(calculation.maximumWeightText);
    visit.poidsMin = text(calculation.minimumWeightText);
    visit.resultat = tableText(calculation.band.band);
    visit.conseils = tableText(calculation.band.advice);
    visit.objectif = tableText(calculation.band.objective);
    return visit;
}

Visit assessMeasurement(const Patient& patient, QDate date, const QString& poids, const QString& taille,
                        QDate today) {
    // The measures first: a height of 0 would stop the calculation on its division.
    Visit measures;
    measures.poids = poids;
    measures.taille = taille;
    if (const QString problem = visitProblem(measures); !problem.isEmpty())
        throw StoreError(StoreError::Kind::Input, problem);
    const QString age = ageOn(patient.naissance, date, today);
    const std::string ageText = age.toStdString();
    const std::string weightText = poids.toStdString();
    const std::string heightText = taille.toStdString();
    const Calculation calculation =
        calculate(patient.sexe, PatientTexts{ageText, weightText, heightText}, kDecimalSeparator);
    if (!calculation.complete())
        refuse(calculation.error);
    Visit visit = visitFromCalculation(calculation, patient.id, date);
    const QString problem = visitProblem(visit);
    if (!problem.isEmpty())
        throw StoreError(StoreError::Kind::Input, problem);
    return visit;
}

Visit rejudged(const Patient& patient, const Visit& stored) {
    Visit visit;
    try {
        visit = assessMeasurement(patient, stored.date, stored.poids, stored.taille,
                                  std::max(QDate::currentDate(), stored.date));
    } catch (const StoreError& error) {
        QString reason = error.message();
        reason[0] = reason[0].toLower();
        throw StoreError(
            StoreError::Kind::Input,
            QStringLiteral("Une consultation de ce patient ne peut pas être réévaluée : %1").arg(reason));
    }
    visit.id = stored.id;
    visit.remarque = stored.remarque;
    visit.created = stored.created;
    return visit;
}

bool sameJudgement(const Visit& a, const Visit& b) {
    return a.age == b.age && a.imc == b.imc && a.poidsMax == b.poidsMax && a.poidsMin == b.poidsMin &&
           a.resultat == b.resultat && a.conseils == b.conseils && a.objectif == b.objectif;
}

namespace {

// Why a measure's text is refused ("Le poids"...), or an empty text. A decimal point is named: it
// is the usual slip, and "not a number" would not tell what to change.
QString measureProblem(const QString& text, const char* name) {
    const std::optional<double> value = measureNumber(text);
    if (value && *value > 0)
        return {};
    if (!value && text.contains(QLatin1Char('.')))
        return QStringLiteral("%1 s'écrit avec une virgule décimale (1,08), pas un point.")
            .arg(QString::fromUtf8(name));
    return QStringLiteral("%1 doit être un nombre supérieur à zéro.").arg(QString::fromUtf8(name));
}

} // namespace

QString visitProblem(const Visit& visit) {
    if (QString problem = measureProblem(visit.poids, "Le poids"); !problem.isEmpty())
        return problem;
    if (QString problem = measureProblem(visit.taille, "La taille"); !problem.isEmpty())
        return problem;
    if (visit.remarque.toUcs4().size() > kMaxRemarkLength)
        return QStringLiteral("La remarque ne peut pas dépasser 1 000 caractères.");
    return {};
}

QString implausibility(const Visit& visit) {
    const std::optional<double> height = measureNumber(visit.taille);
    const std::optional<double> index = measureNumber(visit.imc);
    if (!height || !index)
        return {};
    const std::optional<std::string> reason = vimora::implausibility(*height, *index, kDecimalSeparator);
    return reason ? text(*reason) : QString();
}

std::vector<TrajectoryPoint> trajectoryOf(const std::vector<Visit>& visits) {
    std::vector<const Visit*> stored;
    stored.reserve(visits.size());
    for (const Visit& visit : visits)
        stored.push_back(&visit);
    std::sort(stored.begin(), stored.end(), [](const Visit* a, const Visit* b) {
        return a->date != b->date ? a->date < b->date : a->id < b->id;
    });
    std::vector<TrajectoryPoint> points;
    points.reserve(stored.size());
    for (const Visit* visit : stored) {
        const std::optional<double> age = measureNumber(visit->age);
        const std::optional<double> index = measureNumber(visit->imc);
        if (!age || !index)
            continue;
        points.push_back({toDate(visit->date), *age, *index, visit->resultat.toStdString(),
                          !implausibility(*visit).isEmpty()});
    }
    return points;
}

std::optional<WhoScore> whoScoreOf(const Patient& patient, const Visit& visit) {
    const std::optional<double> age = measureNumber(visit.age);
    const std::optional<double> index = measureNumber(visit.imc);
    if (!age || !index || isAdult(*age) || !patient.naissance.isValid() || !visit.date.isValid())
        return std::nullopt;
    return whoBmiForAge(patient.sexe, static_cast<double>(patient.naissance.daysTo(visit.date)), *index);
}

std::vector<TrajectoryAlert> alertsOf(const std::vector<Visit>& visits) {
    return trajectoryAlerts(trajectoryOf(visits), kDecimalSeparator);
}

} // namespace vimora::records
