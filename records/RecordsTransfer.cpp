#include "RecordsTransfer.h"

#include "VisitRecords.h"
#include "csv/CsvReader.h"
#include "csv/CsvWriter.h"
#include "platform/qt/WholeFile.h"
#include "text/FrenchDates.h"

#include <QHash>
#include <QSet>

#include <array>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

namespace vimora::records {

namespace {

using csv::CsvReader;
using csv::CsvWriter;

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

// AAAA-MM-JJ, every digit written. Read by hand: through QDate's format parser, the dates of a
// large import were a fifth of its time.
QDate readIsoDate(const QString& written) {
    if (written.size() != 10 || written[4] != QLatin1Char('-') || written[7] != QLatin1Char('-'))
        return {};
    const auto number = [&written](qsizetype from, qsizetype digits) {
        int value = 0;
        for (qsizetype i = from; i < from + digits; ++i) {
            const char16_t c = written[i].unicode();
            if (c < u'0' || c > u'9')
                return -1;
            value = value * 10 + (c - u'0');
        }
        return value;
    };
    const int year = number(0, 4);
    const int month = number(5, 2);
    const int day = number(8, 2);
    return year < 0 || month < 0 || day < 0 ? QDate() : QDate(year, month, day);
}

// The French date as the form takes it, or the ISO date of another program's export.
QDate readDate(const QString& written) {
    const QDate date = text::parseShortDate(written);
    return date.isValid() ? date : readIsoDate(written);
}

bool positiveMeasure(const QString& text) {
    const std::optional<double> value = measureNumber(text);
    return value && *value > 0;
}

// Why a row naming the dossier of `known` contradicts them, or an empty text: a record number
// belongs to one identity, so one child's measures never land on another child. `naissance` is the
// row's, as read.
QString contradiction(const Patient& known, const RowValues& values, QDate naissance) {
    QStringList other;
    const auto differs = [](const QString& given, const QString& stored) {
        // Most lines repeat the stored text as it is: folding it is then not needed.
        return !given.isEmpty() && given != stored && foldForSearch(given) != foldForSearch(stored);
    };
    if (differs(values[Nom], known.nom))
        other << QStringLiteral("autre nom");
    if (differs(values[Prenom], known.prenom))
        other << QStringLiteral("autre prénom");
    if (!values[Sexe].isEmpty()) {
        const std::optional<Sex> sex = parseSex(values[Sexe].toStdString());
        if (!sex)
            return QStringLiteral("le sexe doit être M ou F");
        if (*sex != known.sexe)
            other << QStringLiteral("autre sexe");
    }
    if (!values[Naissance].isEmpty()) {
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

// Where each column is in the file's lines, read from its header.
class Columns {
public:
    /// The positions named by the header; the missing columns are refused.
    explicit Columns(const CsvReader& reader) {
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
            throw ImportRefused({lineError(
                reader.line(), QStringLiteral("colonnes absentes de l'en-tête : %1 (l'en-tête doit "
                                              "nommer dossier;nom;prenom;sexe;naissance;date;"
                                              "poids;taille)")
                                   .arg(missing.join(QStringLiteral(", "))))});
        }
    }

    /// The values of the reader's current line.
    void read(const CsvReader& reader, RowValues& values) const {
        const auto fields = reader.fields();
        for (int column = 0; column <= kNumberColumn; ++column) {
            values[column].clear();
            if (m_positions[column] < 0)
                continue;
            const auto position = std::size_t(m_positions[column]);
            if (position >= fields.size())
                continue;
            // The texts the export neutralised for spreadsheets.
            const std::string_view field = column == Dossier || column == Nom || column == Prenom
                                               ? csv::restoredText(fields[position])
                                               : fields[position];
            values[column] = QString::fromUtf8(field.data(), qsizetype(field.size())).trimmed();
        }
    }

private:
    std::array<int, kColumnCount + 1> m_positions{};
};

// Patients and visits to write, as the reading of the file hands them over.
struct Batch {
    std::vector<PatientVisits> entries;
    /// Each entry's patient as the import names them: their id, or minus their rank among the
    /// patients the file brings (written with their first batch, with id 0 until then).
    std::vector<qint64> named;
    /// The line of the one implausible visit of the batch, warned of when it is added.
    std::size_t warnedLine = 0;
};

// The batches from the thread that reads and assesses the file to the one that writes them: the
// thread that opened the records, as a Qt SQL connection serves its own thread only. Two batches
// at most wait, so that memory stays flat while both threads work.
class Handover {
public:
    /// Waits for room; false once the writer stopped.
    bool put(Batch&& batch) {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_stopped || m_batches.size() < kWaiting; });
        if (m_stopped)
            return false;
        m_batches.push_back(std::move(batch));
        m_changed.notify_all();
        return true;
    }

    /// The next batch, or nothing once the reader ended.
    std::optional<Batch> take() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_ended || !m_batches.empty(); });
        if (m_batches.empty())
            return std::nullopt;
        Batch batch = std::move(m_batches.front());
        m_batches.pop_front();
        m_changed.notify_all();
        return batch;
    }

    /// The reader ended: no batch will come.
    void end() {
        const std::lock_guard lock(m_mutex);
        m_ended = true;
        m_changed.notify_all();
    }

    /// The writer stopped on a failure: no batch will be taken.
    void stop() {
        const std::lock_guard lock(m_mutex);
        m_stopped = true;
        m_changed.notify_all();
    }

    /// True once the writer stopped: the reader need read no further.
    bool stopped() const { return m_stopped; }

private:
    static constexpr std::size_t kWaiting = 2;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Batch> m_batches;
    bool m_ended = false;
    // Read by the reader at every line, without the lock.
    std::atomic<bool> m_stopped = false;
};

// Thrown on the reading thread once the writer stopped: its own failure is the one reported.
struct WriterStopped {};

// Writes the batches in the order handed over, the patients the file brings created with their
// first one.
class BatchWriter {
public:
    explicit BatchWriter(PatientStore& store)
        : m_store(store) {}

    void write(Batch& batch) {
        for (std::size_t i = 0; i < batch.entries.size(); ++i) {
            if (const auto created = m_created.find(batch.named[i]); created != m_created.end())
                batch.entries[i].patient.id = created->second;
        }
        const int added = m_store.addAll(batch.entries);
        for (std::size_t i = 0; i < batch.entries.size(); ++i) {
            if (batch.named[i] < 0)
                m_created.emplace(batch.named[i], batch.entries[i].patient.id);
        }
        m_visitsAdded += added;
        if (batch.warnedLine > 0 && added > 0) {
            m_warnings << lineError(
                batch.warnedLine, QStringLiteral("avertissement : mesure invraisemblable (taille hors de "
                                                 "0,3 à 2,5 m ou IMC hors de 8 à 100), importée quand même"));
        }
    }

    int visitsAdded() const { return m_visitsAdded; }
    const QStringList& warnings() const { return m_warnings; }

private:
    PatientStore& m_store;
    std::unordered_map<qint64, qint64> m_created;
    int m_visitsAdded = 0;
    QStringList m_warnings;
};

// One import, inside the records' write transaction, handed over to be written as the file is
// read: the patients known so far (stored and new) and the visits read since the last batch. A
// visit already stored is left out by the records' unique key, so the stored visits are never read.
// It reads the store only when made.
class Import {
public:
    Import(const PatientStore& store, Handover& handover, QDate today)
        : m_handover(handover)
        , m_today(today) {
        // In the order they were created, in which numbered homonyms are paired with stored ones.
        store.forEachPatient([&](const Patient& patient) {
            m_stored.emplace(patient.id, patient);
            const QString key = patientNameKey(patient.nom, patient.prenom, patient.naissance);
            if (!patient.dossier.isEmpty())
                m_byDossier.insert(patient.dossier, patient.id);
            else
                m_withoutDossier[key].push_back(patient.id);
            m_byName.insert(key, patient.id);
        });
    }

    void readRow(const RowValues& values, std::size_t line) {
        const QString reason = addRow(values, line);
        if (!reason.isEmpty())
            m_errors << lineError(line, reason);
    }

    /// Hands over what is left, or refuses the file for its bad lines.
    void finish() {
        if (!m_errors.isEmpty())
            throw ImportRefused(m_errors);
        write();
    }

    /// What was done, once `writer` wrote every batch.
    ImportReport report(const BatchWriter& writer) const {
        ImportReport report;
        report.patientsAdded = int(m_newPatients.size());
        report.patientsFound = int(m_named.size());
        report.visitsAdded = writer.visitsAdded();
        report.visitsSkipped = m_visitsRead - writer.visitsAdded();
        report.warnings = writer.warnings();
        return report;
    }

private:
    // Visits are written this many at a time, so that memory stays flat whatever the file's size.
    static constexpr std::size_t kVisitsPerWrite = 2000;

    // A patient the file names: a stored one counts as found.
    qint64 named(qint64 id) {
        if (id > 0)
            m_named.insert(id);
        return id;
    }

    // Patients are named by their id, and new ones by minus their rank in m_newPatients; these
    // keep id 0 here.
    const Patient& patientWithId(qint64 id) const {
        return id < 0 ? m_newPatients[std::size_t(-id - 1)] : m_stored.at(id);
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
                return contradiction(patientWithId(id), values, naissance);
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
        const std::optional<Sex> sex = parseSex(values[Sexe].toStdString());
        if (!sex)
            return QStringLiteral("patient inconnu : le sexe doit être M ou F");
        patient.sexe = *sex;
        if (!naissance.isValid() && !values[Naissance].isEmpty())
            return QStringLiteral("la date de naissance doit s'écrire JJ/MM/AAAA ou AAAA-MM-JJ");
        patient.naissance = naissance;
        const std::vector<FieldProblem> problems = patientProblems(patient, m_today);
        if (!problems.empty())
            return QStringLiteral("patient inconnu : %1").arg(asReason(problems.front().message));
        m_newPatients.push_back(patient);
        id = -qint64(m_newPatients.size());
        // Created with the next write, with or without visits.
        pendingOf(id);
        if (!dossier.isEmpty())
            m_byDossier.insert(dossier, id);
        if (!numbered.isEmpty())
            m_byNumber.insert(numbered, id);
        m_byName.insert(patientNameKey(patient.nom, patient.prenom, patient.naissance), id);
        return {};
    }

    // The entry of the next batch that holds the visits of patient `id`.
    PatientVisits& pendingOf(qint64 id) {
        const auto [at, added] = m_pendingAt.try_emplace(id, m_pending.entries.size());
        if (added) {
            m_pending.entries.push_back(PatientVisits{patientWithId(id), {}});
            m_pending.named.push_back(id);
        }
        return m_pending.entries[at->second];
    }

    // Hands over the patients and visits read since the last batch, the visit of line `warnedLine`
    // warned of when added; nothing once a line is refused, as the whole import will be rolled back.
    void write(std::size_t warnedLine = 0) {
        if (!m_errors.isEmpty() || m_pending.entries.empty())
            return;
        m_pending.warnedLine = warnedLine;
        if (!m_handover.put(std::move(m_pending)))
            throw WriterStopped();
        m_pending = {};
        m_pendingAt.clear();
        m_pendingVisits = 0;
    }

    QString addRow(const RowValues& values, std::size_t line) {
        // A line without date nor measures names a patient who has no visit.
        const bool patientOnly =
            values[DateColumn].isEmpty() && values[Poids].isEmpty() && values[Taille].isEmpty();
        const QDate date = readDate(values[DateColumn]);
        if (!patientOnly && !date.isValid())
            return QStringLiteral("la date de la consultation doit s'écrire JJ/MM/AAAA ou AAAA-MM-JJ");
        if (!patientOnly && (!positiveMeasure(values[Poids]) || !positiveMeasure(values[Taille]))) {
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
        Visit visit;
        try {
            visit = assessMeasurement(patientWithId(id), date, values[Poids], values[Taille], m_today);
        } catch (const StoreError& error) {
            return error.message();
        }
        ++m_visitsRead;
        if (!implausibility(visit).isEmpty()) {
            // Written alone, so that the warning is given only when the visit is added, not when it
            // is already stored.
            write();
            pendingOf(id).visits.push_back(std::move(visit));
            write(line);
            return {};
        }
        pendingOf(id).visits.push_back(std::move(visit));
        if (++m_pendingVisits == kVisitsPerWrite)
            write();
        return {};
    }

    Handover& m_handover;
    QDate m_today;
    std::unordered_map<qint64, Patient> m_stored;
    std::vector<Patient> m_newPatients;
    QHash<QString, qint64> m_byDossier;
    QMultiHash<QString, qint64> m_byName;
    // Stored patients without dossier by name key, and how many of them numbered rows have named.
    QHash<QString, std::vector<qint64>> m_withoutDossier;
    QHash<QString, std::size_t> m_claimed;
    QHash<QString, qint64> m_byNumber;
    QSet<qint64> m_named;
    Batch m_pending;
    std::unordered_map<qint64, std::size_t> m_pendingAt;
    std::size_t m_pendingVisits = 0;
    int m_visitsRead = 0;
    QStringList m_errors;
};

CsvWriter writerOn(QIODevice& out) {
    return CsvWriter([&out](std::string_view bytes) {
        if (out.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size()))
            throw csv::OutputError("write failed");
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
    return csv::neutralisedText(utf8(text));
}

void outputFailed(const QString& what) {
    throw StoreError(
        StoreError::Kind::Output,
        QStringLiteral("%1 n'a pas pu être écrit entièrement (disque plein ou sortie fermée).").arg(what));
}

// A fault of the file itself is the one reason given: its lines cannot be told apart.
ImportRefused refusedFile(const csv::CsvError& error) {
    const QString reason = QString::fromStdString(error.reason());
    return ImportRefused({error.line() == 0 ? reason : lineError(error.line(), reason)});
}

// Reads the rows of `reader` and writes them, in the caller's transaction. The file is read and
// assessed on a thread of its own while this one writes what it hands over: each waits less for
// the other.
ImportReport importRows(PatientStore& store, CsvReader& reader, const Columns& columns, QDate today) {
    Handover handover;
    Import import(store, handover, today);
    std::exception_ptr readFailure;
    std::thread reading([&] {
        try {
            RowValues values;
            while (reader.next()) {
                if (handover.stopped())
                    throw WriterStopped();
                columns.read(reader, values);
                import.readRow(values, reader.line());
            }
            import.finish();
        } catch (const WriterStopped&) {
        } catch (const csv::CsvError& error) {
            readFailure = std::make_exception_ptr(refusedFile(error));
        } catch (...) {
            readFailure = std::current_exception();
        }
        handover.end();
    });
    BatchWriter writer(store);
    try {
        while (std::optional<Batch> batch = handover.take())
            writer.write(*batch);
    } catch (...) {
        handover.stop();
        reading.join();
        throw;
    }
    reading.join();
    if (readFailure)
        std::rethrow_exception(readFailure);
    return import.report(writer);
}

} // namespace

ImportRefused::ImportRefused(const QStringList& rowErrors)
    : StoreError(Kind::Input, QStringLiteral("Import refusé : rien n'a été enregistré.\n%1")
                                  .arg(rowErrors.join(QLatin1Char('\n'))))
    , m_rowErrors(rowErrors) {}

ImportReport importVisits(PatientStore& store, QIODevice& csv, QDate today) {
    CsvReader reader([&csv](char* buffer, std::size_t size) {
        const qint64 read = csv.read(buffer, qint64(size));
        if (read < 0)
            throw csv::CsvError(0, "La lecture du fichier a échoué.");
        return std::size_t(read);
    });
    std::optional<Columns> columns;
    try {
        if (!reader.next())
            throw ImportRefused({QStringLiteral("Le fichier est vide : il n'a pas de ligne d'en-tête.")});
        columns.emplace(reader);
    } catch (const csv::CsvError& error) {
        throw refusedFile(error);
    }
    // What is there and what is added, under the write lock: another import or a window saving
    // meanwhile waits, then sees what this one added.
    ImportReport report;
    store.transaction([&] { report = importRows(store, reader, *columns, today); });
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
        store.forEachAssessment([&](const Patient& patient, const Visit* visit) {
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
                      patient.sexe == Sex::Female ? "F" : "M", utf8(text::shortDate(patient.naissance)),
                      utf8(text::shortDate(shown.date)), utf8(shown.poids), utf8(shown.taille),
                      utf8(shown.age), utf8(shown.imc), utf8(shown.resultat),
                      who ? whoZText(who->z) : std::string(),
                      who ? whoPercentileText(who->percentile) : std::string(), std::to_string(number)});
        });
        writer.flush();
    } catch (const csv::OutputError&) {
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
    } catch (const csv::OutputError&) {
        outputFailed(QStringLiteral("La liste des alertes"));
    }
}

} // namespace vimora::records
