#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QtGlobal>

#include <array>
#include <functional>

// The generated base of the records benchmarks, as the import reads it, at any scale: ten visits a
// patient on average, so 1,000 patients give 10,000 visits and 100,000 patients 1,000,000. The
// same rows for a SQLite file, a PostgreSQL server and the sqlite3 shell.
namespace vimora::records::bench {

inline constexpr int kPatients = 10000;     ///< the usual scale: 100,000 visits
inline constexpr int kLongTrajectory = 100; ///< the visits of the first patient
inline constexpr int kFewVisits = 10;       ///< patients 1 to 10 have one visit each

/// The visits of `patients` patients.
constexpr int visitsAt(int patients) {
    return 10 * patients;
}
inline constexpr int kVisits = visitsAt(kPatients);

// Patient 0 has 100 visits, patients 1 to 10 one each, the others ten: ten a patient in all.
inline int visitsOf(int patient) {
    if (patient == 0)
        return kLongTrajectory;
    return patient <= kFewVisits ? 1 : 10;
}

/// Hands the CSV lines of `patients` patients (at least 11) to `write` a patient at a time, the
/// header first: a file of a million visits is written without being held.
inline void writeGeneratedMeasures(int patients, const std::function<void(const QByteArray&)>& write) {
    Q_ASSERT(patients > kFewVisits);
    const std::array<const char*, 10> noms{"Martin",  "Bernard", "Dubois", "Lefèvre",  "Moreau",
                                           "Laurent", "Girard",  "Roux",   "Fournier", "Mercier"};
    const std::array<const char*, 10> prenoms{"Éloïse", "Jean", "Chloé",   "Léo",   "Inès",
                                              "Noé",    "Zoé",  "Raphaël", "Anaïs", "Gaël"};
    write("dossier;nom;prenom;sexe;naissance;date;poids;taille\n");
    QByteArray lines;
    for (int p = 0; p < patients; ++p) {
        const QDate birth = QDate(1950, 1, 1).addDays((p * 3571) % 25000);
        const QByteArray patient = QStringLiteral("D%1;%2-%3;%4;%5;%6;")
                                       .arg(p)
                                       .arg(QString::fromUtf8(noms[p % 10]))
                                       .arg(p / 10)
                                       .arg(QString::fromUtf8(prenoms[(p / 7) % 10]))
                                       .arg(p % 2 != 0 ? QLatin1Char('F') : QLatin1Char('M'))
                                       .arg(birth.toString(QStringLiteral("dd/MM/yyyy")))
                                       .toUtf8();
        lines.clear();
        for (int v = 0; v < visitsOf(p); ++v) {
            const QDate date = birth.addDays(400 + v * 60);
            lines += patient + date.toString(Qt::ISODate).toUtf8() + ';' +
                     QByteArray::number(50 + (v * 7 + p) % 40) + ";1," +
                     QByteArray::number(50 + (v + p) % 40) + '\n';
        }
        write(lines);
    }
}

/// The CSV file of `patients` patients in memory.
inline QByteArray generatedMeasures(int patients = kPatients) {
    QByteArray csv;
    writeGeneratedMeasures(patients, [&csv](const QByteArray& lines) { csv += lines; });
    return csv;
}

} // namespace vimora::records::bench
