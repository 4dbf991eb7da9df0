#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QtGlobal>

#include <array>

// The generated base of the records benchmarks, as the import reads it: 10,000 patients and
// 100,000 visits, the same for a SQLite file and a PostgreSQL server.
namespace vimora::records::bench {

inline constexpr int kPatients = 10000;
inline constexpr int kVisits = 100000;
inline constexpr int kLongTrajectory = 100; ///< the visits of the first patient

// Patient 0 has 100 visits, patients 1 to 10 one each, the others ten: 100,000 in all.
inline int visitsOf(int patient) {
    if (patient == 0)
        return kLongTrajectory;
    return patient <= 10 ? 1 : 10;
}

inline QByteArray generatedMeasures() {
    const std::array<const char*, 10> noms{"Martin",  "Bernard", "Dubois", "Lefèvre",  "Moreau",
                                           "Laurent", "Girard",  "Roux",   "Fournier", "Mercier"};
    const std::array<const char*, 10> prenoms{"Éloïse", "Jean", "Chloé",   "Léo",   "Inès",
                                              "Noé",    "Zoé",  "Raphaël", "Anaïs", "Gaël"};
    QByteArray csv = "dossier;nom;prenom;sexe;naissance;date;poids;taille\n";
    int written = 0;
    for (int p = 0; p < kPatients; ++p) {
        const QDate birth = QDate(1950, 1, 1).addDays((p * 3571) % 25000);
        const QByteArray patient = QStringLiteral("D%1;%2-%3;%4;%5;%6;")
                                       .arg(p)
                                       .arg(QString::fromUtf8(noms[p % 10]))
                                       .arg(p / 10)
                                       .arg(QString::fromUtf8(prenoms[(p / 7) % 10]))
                                       .arg(p % 2 != 0 ? QLatin1Char('F') : QLatin1Char('M'))
                                       .arg(birth.toString(QStringLiteral("dd/MM/yyyy")))
                                       .toUtf8();
        for (int v = 0; v < visitsOf(p); ++v, ++written) {
            const QDate date = birth.addDays(400 + v * 60);
            csv += patient + date.toString(Qt::ISODate).toUtf8() + ';' +
                   QByteArray::number(50 + (v * 7 + p) % 40) + ";1," + QByteArray::number(50 + (v + p) % 40) +
                   '\n';
        }
    }
    Q_ASSERT(written == kVisits);
    return csv;
}

} // namespace vimora::records::bench
