#include "RecordsTransfer.h"

#include "CsvReader.h"
#include "CsvWriter.h"
#include "EngineError.h"
#include "Measures.h"
#include "VisitRecords.h"
#include "WholeFile.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <array>
#include <initializer_list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vimora::records {

namespace {

using cli::CsvReader;
using cli::CsvWriter;

enum Column { Dossier, Nom, Prenom, Sexe, Naissance, DateColumn, Poids, Taille, kColumnCount };
constexpr std::array<const char*, kColumnCount> kColumnNames{"dossier",   "nom",  "prenom", "sexe",
                                                             "naissance", "date", "poids",  "taille"};
// Optional: the patient's number in the file, which keeps homonyms without dossier apart.
constexpr int kNumberColumn = kColumnCount;
constexpr const char* kNumberName = "patient";
using RowValues = std::array<QString, kColumnCount + 1>;

// One wording for every reason after a colon, whoever words it: lower case, no full stop, so that
// the form's sentences ("Le poids doit être…") read the same here.
QString asReason(QString sentence) {
    if (sentence.size() > 1 && sentence[0].isUpper() && sentence[1].isLower())
        sentence[0] = sentence[0].toLower();
    if (sentence.endsWith(QLatin1Char('.')) && !sentence.endsWith(QLatin1String("..")))
        sentence.chop(1);
    return sentence;
}

QString lineError(std::size_t line, const QString& reason) {
    return QStringLiteral("Ligne %1 : %2").arg(line).arg(asReason(reason));
}

QDate readDate(const QString& text) {
    QDate date = QDate::fromString(text, QStringLiteral("dd/MM/yyyy"));
    if (!date.isValid())
        date = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    return date;
}

QString frenchDate(QDate date) {
    return date.toString(QStringLiteral("dd/MM/yyyy"));
}

std::optional<Sex> readSex(const QString& text) {
    const QString folded = foldForSearch(text);
    if (folded == QLatin1String("m") || folded == QLatin1String("masculin"))
        return Sex::Male;
    if (folded == QLatin1String("f") || folded == QLatin1String("feminin"))
        return Sex::Female;
    return std::nullopt;
}

std::optional<double> positiveMeasure(const QString& text) {
    try {
        const double value = parseMeasure(text.toStdString(), kDecimalSeparator);
        if (value > 0)
            return value;
    } catch (const EngineError&) {
    }
    return std::nullopt;
}

// Why a row naming the dossier of `known` contradicts them, or an empty text: a record number
// belongs to one identity, so one child's measures never land on another child.
QString contradiction(const Patient& known, const RowValues& values) {
    QStringList other;
    const auto differs = [](const QString& given, const QString& stored) {
        return !given.isEmpty() && foldForSearch(given) != foldForSearch(stored);
    };
    if (differs(values[Nom], known.nom))
        other << QStringLiteral("autre nom");
    if (differs(values[Prenom], known.prenom))
        other << QStringLiteral("autre prénom");
    if (!values[Sexe].isEmpty()) {
        const std::optional<Sex> sex = readSex(values[Sexe]);
        if (!sex)
            return QStringLiteral("le sexe doit être M ou F");
        if (*sex != known.sexe)
            other << QStringLiteral("autre sexe");
    }
    if (!values[Naissance].isEmpty()) {
        const QDate naissance = readDate(values[Naissance]);
        if (!naissance.isValid())
            return QStringLiteral("la date de naissance doit s'écrire JJ/MM/AAAA ou AAAA-MM-JJ");
        if (naissance != known.naissance)
            other << QStringLiteral("autre date de naissance");
    }
    if (other.isEmpty())
        return {};
    return QStringLiteral("ce dossier est déjà celui d'un autre patient (%1)")
        .arg(other.join(QStringLiteral(", ")));
}

// A visit already in the records: the patient, the date and the measures read as numbers, so that
// "80" and "80,0" are one visit.
struct VisitKey {
    qint64 patient; ///< an existing patient's id, or minus the number of a new one
    QDate date;
    double weight;
    double height;
    friend bool operator==(const VisitKey&, const VisitKey&) = default;
};

size_t qHash(const VisitKey& key, size_t seed = 0) {
    return qHashMulti(seed, key.patient, key.date.toJulianDay(), key.weight, key.height);
}

// The rows of a file, read whole before the records are looked at.
struct Row {
    std::size_t line = 0;
    RowValues values;
};

class CsvRows {
public:
    void readHeader(const CsvReader& reader) {
        m_positions.fill(-1);
        const auto fields = reader.fields();
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const QString name =
                QString::fromUtf8(fields[i].data(), qsizetype(fields[i].size())).trimmed().toLower();
            for (int column = 0; column <= kNumberColumn; ++column) {
                const char* wanted = column == kNumberColumn ? kNumberName : kColumnNames[column];
                if (name == QLatin1String(wanted) && m_positions[column] < 0)
                    m_positions[column] = int(i);
            }
        }
        QStringList missing;
        for (int column = 0; column < kColumnCount; ++column) {
            if (m_positions[column] < 0)
                missing << QLatin1String(kColumnNames[column]);
        }
        if (!missing.isEmpty()) {
            m_errors << lineError(reader.line(),
                                  QStringLiteral("colonnes absentes de l'en-tête : %1 (l'en-tête doit "
                                                 "nommer dossier;nom;prenom;sexe;naissance;date;"
                                                 "poids;taille)")
                                      .arg(missing.join(QStringLiteral(", "))));
        }
    }

    void readRow(const CsvReader& reader) {
        Row row;
        row.line = reader.line();
        const auto fields = reader.fields();
        for (int column = 0; column <= kNumberColumn; ++column) {
            if (m_positions[column] < 0)
                continue;
            const auto position = std::size_t(m_positions[column]);
            if (position >= fields.size())
                continue;
            // The texts the export neutralised for spreadsheets.
            const std::string_view field = column == Dossier || column == Nom || column == Prenom
                                               ? cli::restoredText(fields[position])
                                               : fields[position];
            row.values[column] = QString::fromUtf8(field.data(), qsizetype(field.size())).trimmed();
        }
        m_rows.push_back(std::move(row));
    }

    const std::vector<Row>& rows() const { return m_rows; }

    void refuseOnErrors(const QString& fault = {}) {
        if (!fault.isEmpty())
            m_errors << fault;
        if (!m_errors.isEmpty())
            throw ImportRefused(m_errors);
    }

private:
    std::array<int, kColumnCount + 1> m_positions{};
    std::vector<Row> m_rows;
    QStringList m_errors;
};

// One import, inside the records' write transaction: the patients known so far (stored and new),
// the visits known, and what the file brings.
class Import {
public:
    Import(PatientStore& store, QDate today)
        : m_store(store)
        , m_today(today) {
        for (const PatientSummary& summary : store.patients()) {
            const Patient& patient = summary.patient;
            m_found.emplace(patient.id, PatientVisits{patient, {}});
            const QString key = patientNameKey(patient.nom, patient.prenom, patient.naissance);
            if (!patient.dossier.isEmpty())
                m_byDossier.insert(patient.dossier, patient.id);
            else
                m_withoutDossier[key].push_back(patient.id);
            m_byName.insert(key, patient.id);
        }
        // Numbered homonyms are paired with the stored ones in the order they were created.
        for (std::vector<qint64>& ids : m_withoutDossier)
            std::sort(ids.begin(), ids.end());
        store.forEachVisit([&](const Patient&, const Visit& visit) {
            const std::optional<double> weight = positiveMeasure(visit.poids);
            const std::optional<double> height = positiveMeasure(visit.taille);
            if (weight && height)
                m_visits.insert({visit.patientId, visit.date, *weight, *height});
        });
    }

    void readRow(const Row& row) {
        const QString reason = addRow(row.values, row.line);
        if (!reason.isEmpty())
            m_errors << lineError(row.line, reason);
    }

    void refuseOnErrors() {
        if (!m_errors.isEmpty())
            throw ImportRefused(m_errors);
    }

    ImportReport write() {
        std::vector<PatientVisits> batch = std::move(m_new);
        m_report.patientsAdded = int(batch.size());
        m_report.patientsFound = int(m_named.size());
        for (auto& [id, entry] : m_found) {
            if (!entry.visits.empty())
                batch.push_back(std::move(entry));
        }
        // A window may have saved one of these visits since they were looked up.
        const int stored = m_store.addAll(batch);
        m_report.visitsSkipped += m_report.visitsAdded - stored;
        m_report.visitsAdded = stored;
        return m_report;
    }

private:
    // A patient the file names: a stored one counts as found.
    qint64 named(qint64 id) {
        if (id > 0)
            m_named.insert(id);
        return id;
    }

    const Patient& patientWithId(qint64 id) const {
        return id < 0 ? m_new[std::size_t(-id - 1)].patient : m_found.at(id).patient;
    }

    // The patient the row names, found or new; an empty reason when found.
    QString patientOf(const RowValues& values, qint64& id) {
        const QString& dossier = values[Dossier];
        const QString& number = values[kNumberColumn];
        const QDate naissance = readDate(values[Naissance]);
        QString numbered;
        if (!dossier.isEmpty()) {
            if (const auto found = m_byDossier.constFind(dossier); found != m_byDossier.cend()) {
                id = named(*found);
                return contradiction(patientWithId(id), values);
            }
        } else {
            if (values[Nom].isEmpty() || !naissance.isValid())
                return QStringLiteral(
                    "sans dossier, le nom et la date de naissance (JJ/MM/AAAA ou AAAA-MM-JJ) "
                    "désignent le patient");
            const QString key = patientNameKey(values[Nom], values[Prenom], naissance);
            if (!number.isEmpty()) {
                // Each number of the file is a patient of its own, even among homonyms.
                numbered = key + QChar(0x1E) + number;
                if (const auto found = m_byNumber.constFind(numbered); found != m_byNumber.cend()) {
                    id = named(*found);
                    return {};
                }
                std::size_t& claimed = m_claimed[key];
                if (const std::vector<qint64>& stored = m_withoutDossier.value(key);
                    claimed < stored.size()) {
                    id = named(stored[claimed++]);
                    m_byNumber.insert(numbered, id);
                    return {};
                }
            } else {
                if (m_byName.count(key) > 1)
                    return QStringLiteral(
                        "plusieurs patients ont ces nom, prénom et date de naissance : donnez le "
                        "dossier");
                if (const auto found = m_byName.constFind(key); found != m_byName.cend()) {
                    id = named(*found);
                    return {};
                }
            }
        }
        return newPatient(values, naissance, numbered, id);
    }

    // A patient the file brings: the row must describe them whole.
    QString newPatient(const RowValues& values, QDate naissance, const QString& numbered, qint64& id) {
        const QString& dossier = values[Dossier];
        Patient patient;
        patient.dossier = dossier;
        patient.nom = values[Nom];
        patient.prenom = values[Prenom];
        const std::optional<Sex> sex = readSex(values[Sexe]);
        if (!sex)
            return QStringLiteral("patient inconnu : le sexe doit être M ou F");
        patient.sexe = *sex;
        if (!naissance.isValid() && !values[Naissance].isEmpty())
            return QStringLiteral("la date de naissance doit s'écrire JJ/MM/AAAA ou AAAA-MM-JJ");
        patient.naissance = naissance;
        const std::vector<FieldProblem> problems = patientProblems(patient, m_today);
        if (!problems.empty())
            return QStringLiteral("patient inconnu : %1").arg(asReason(problems.front().message));
        m_new.push_back(PatientVisits{patient, {}});
        id = -qint64(m_new.size());
        if (!dossier.isEmpty())
            m_byDossier.insert(dossier, id);
        if (!numbered.isEmpty())
            m_byNumber.insert(numbered, id);
        m_byName.insert(patientNameKey(patient.nom, patient.prenom, patient.naissance), id);
        return {};
    }

    QString addRow(const RowValues& values, std::size_t line) {
        // A line without date nor measures names a patient who has no visit.
        const bool patientOnly =
            values[DateColumn].isEmpty() && values[Poids].isEmpty() && values[Taille].isEmpty();
        const QDate date = readDate(values[DateColumn]);
        if (!patientOnly && !date.isValid())
            return QStringLiteral("la date de la consultation doit s'écrire JJ/MM/AAAA ou AAAA-MM-JJ");
        const std::optional<double> weight = positiveMeasure(values[Poids]);
        const std::optional<double> height = positiveMeasure(values[Taille]);
        if (!patientOnly && (!weight || !height)) {
            // The form's own words, which name a decimal point.
            Visit measures;
            measures.poids = values[Poids];
            measures.taille = values[Taille];
            return visitProblem(measures);
        }
        qint64 id = 0;
        if (QString reason = patientOf(values, id); !reason.isEmpty())
            return reason;
        if (patientOnly)
            return {};
        PatientVisits& entry = id < 0 ? m_new[std::size_t(-id - 1)] : m_found.at(id);
        const VisitKey key{id, date, *weight, *height};
        if (m_visits.contains(key)) {
            ++m_report.visitsSkipped;
            return {};
        }
        m_visits.insert(key);
        Visit visit;
        try {
            visit = assessMeasurement(entry.patient, date, values[Poids], values[Taille], m_today);
        } catch (const StoreError& error) {
            return error.message();
        }
        if (!implausibility(visit).isEmpty()) {
            m_report.warnings << lineError(
                line, QStringLiteral("avertissement : mesure invraisemblable (taille hors "
                                     "de 0,3 à 2,5 m ou IMC hors de 8 à 100), importée "
                                     "quand même"));
        }
        entry.visits.push_back(std::move(visit));
        ++m_report.visitsAdded;
        return {};
    }

    PatientStore& m_store;
    QDate m_today;
    // Patients are named by their id, and new ones by minus their rank in m_new.
    std::unordered_map<qint64, PatientVisits> m_found;
    std::vector<PatientVisits> m_new;
    QHash<QString, qint64> m_byDossier;
    QMultiHash<QString, qint64> m_byName;
    // Stored patients without dossier by name key, and how many of them numbered rows have named.
    QHash<QString, std::vector<qint64>> m_withoutDossier;
    QHash<QString, std::size_t> m_claimed;
    QHash<QString, qint64> m_byNumber;
    QSet<VisitKey> m_visits;
    QSet<qint64> m_named;
    QStringList m_errors;
    ImportReport m_report;
};

CsvWriter writerOn(QIODevice& out) {
    return CsvWriter([&out](std::string_view bytes) {
        if (out.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size()))
            throw cli::OutputError("write failed");
    });
}

// One row of UTF-8 texts: the writer copies them before they go.
void writeRow(CsvWriter& writer, std::initializer_list<std::string> texts) {
    const std::vector<std::string_view> fields(texts.begin(), texts.end());
    writer.row(fields);
}

std::string utf8(const QString& text) {
    return text.toStdString();
}

// A text typed by a user, which a spreadsheet must never run.
std::string cell(const QString& text) {
    return cli::neutralisedText(utf8(text));
}

void outputFailed(const QString& what) {
    throw StoreError(
        StoreError::Kind::Output,
        QStringLiteral("%1 n'a pas pu être écrit entièrement (disque plein ou sortie fermée).").arg(what));
}

} // namespace

ImportRefused::ImportRefused(const QStringList& rowErrors)
    : StoreError(Kind::Input, QStringLiteral("Import refusé : rien n'a été enregistré.\n%1")
                                  .arg(rowErrors.join(QLatin1Char('\n'))))
    , m_rowErrors(rowErrors) {}

ImportReport importVisits(PatientStore& store, QIODevice& csv, QDate today) {
    CsvRows file;
    CsvReader reader([&csv](char* buffer, std::size_t size) {
        const qint64 read = csv.read(buffer, qint64(size));
        if (read < 0)
            throw cli::CsvError(0, "La lecture du fichier a échoué.");
        return std::size_t(read);
    });
    try {
        if (!reader.next())
            file.refuseOnErrors(QStringLiteral("Le fichier est vide : il n'a pas de ligne d'en-tête."));
        file.readHeader(reader);
        file.refuseOnErrors();
        while (reader.next())
            file.readRow(reader);
    } catch (const cli::CsvError& error) {
        const QString reason = QString::fromStdString(error.reason());
        file.refuseOnErrors(error.line() == 0 ? reason : lineError(error.line(), reason));
    }
    // What is there and what is added, under the write lock: another import or a window saving
    // meanwhile waits, then sees what this one added.
    ImportReport report;
    store.transaction([&] {
        Import import(store, today);
        for (const Row& row : file.rows())
            import.readRow(row);
        import.refuseOnErrors();
        report = import.write();
    });
    return report;
}

void exportVisits(const PatientStore& store, QIODevice& out) {
    try {
        CsvWriter writer = writerOn(out);
        std::vector<std::string_view> header(kColumnNames.begin(), kColumnNames.end());
        header.insert(header.end(), {"age", "imc", "resultat", "z_oms", "percentile_oms", kNumberName});
        writer.row(header);
        qint64 current = 0;
        int number = 0;
        store.forEachRecord([&](const Patient& patient, const Visit* visit) {
            if (patient.id != current) {
                current = patient.id;
                ++number;
            }
            // A patient without visits is a line without date nor measures.
            const Visit none;
            const Visit& shown = visit != nullptr ? *visit : none;
            // The WHO's figures inform the reader; the import reads none of them.
            const std::optional<WhoScore> who = visit != nullptr ? whoScoreOf(patient, *visit) : std::nullopt;
            writeRow(writer,
                     {cell(patient.dossier), cell(patient.nom), cell(patient.prenom),
                      patient.sexe == Sex::Female ? "F" : "M", utf8(frenchDate(patient.naissance)),
                      utf8(frenchDate(shown.date)), utf8(shown.poids), utf8(shown.taille), utf8(shown.age),
                      utf8(shown.imc), utf8(shown.resultat), who ? whoZText(who->z) : std::string(),
                      who ? whoPercentileText(who->percentile) : std::string(), std::to_string(number)});
        });
        writer.flush();
    } catch (const cli::OutputError&) {
        outputFailed(QStringLiteral("L'export"));
    }
}

void exportVisitsToFile(const PatientStore& store, const QString& path) {
    std::optional<StoreError> storeError;
    const std::optional<platform::WriteFailure> failure = platform::writeWholeFile(path, [&](QIODevice& out) {
        try {
            exportVisits(store, out);
            return true;
        } catch (const StoreError& error) {
            // A fault of the records themselves is reported as such; a fault of the output below.
            if (error.kind() != StoreError::Kind::Output)
                storeError = error;
            return false;
        }
    });
    if (storeError)
        throw *storeError;
    if (failure)
        throw StoreError(StoreError::Kind::Output, failure->message(path));
}

void writeAlerts(const PatientStore& store, QIODevice& out) {
    try {
        CsvWriter writer = writerOn(out);
        writeRow(writer, {"dossier", "nom", "prenom", "alerte", "detail"});
        store.forEachAlert([&](const Patient& patient, const PatientAlert& alert) {
            writeRow(writer, {cell(patient.dossier), cell(patient.nom), cell(patient.prenom),
                              utf8(alert.title), utf8(alert.detail)});
        });
        writer.flush();
    } catch (const cli::OutputError&) {
        outputFailed(QStringLiteral("La liste des alertes"));
    }
}

} // namespace vimora::records
