#pragma once

#include "engine/ReferenceThresholds.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

// Patient records: the patients of a practice and their visits, each visit keeping the texts the
// window showed that day. The dialogs and vimora-dossiers see only this interface; behind it is a
// SQLite file (the default) or a PostgreSQL server, chosen by openStore() from the
// database setting. Every change is one transaction: done whole or not at all.
namespace vimora::records {

inline constexpr int kMaxNameLength = 100;    ///< nom, prénom, dossier, in characters
inline constexpr int kMaxRemarkLength = 1000; ///< remarque, in characters

/// A patient. id 0: not stored yet.
struct Patient {
    qint64 id = 0;
    QString dossier; ///< the clinic's record number; empty when none, unique when given
    QString nom;     ///< required
    QString prenom;
    Sex sexe = Sex::Male;
    QDate naissance;   ///< required
    QDateTime created; ///< UTC, set by the store
    QDateTime updated; ///< UTC, set by the store
    int version = 0;   ///< set by the store, raised by each update; an update naming an older one
                       ///< is refused (another workstation changed the patient meanwhile)
};

/// One visit: the measures as the calculation read them and the texts the window showed.
/// id 0: not stored yet.
struct Visit {
    qint64 id = 0;
    qint64 patientId = 0;
    QDate date;
    QString age; ///< "10,42"
    QString poids;
    QString taille;
    QString imc;
    QString poidsMax;
    QString poidsMin;
    QString resultat;
    QString conseils;
    QString objectif;
    QString remarque;
    QDateTime created; ///< UTC, set by the store
};

/// A line of the patient list: the patient with their latest visit.
struct PatientSummary {
    Patient patient;
    QDate lastVisit;    ///< null when the patient has no visit
    QString lastResult; ///< resultat of that visit
    int visitCount = 0;
    QString searchKey;  ///< nom, prénom and dossier folded by foldForSearch(), for matches()
    QStringList alerts; ///< the titles of the patient's current alerts, rebound first
};

/// One of a patient's current alerts, as the engine gave it for their stored visits.
struct PatientAlert {
    QString title;
    QString detail;
};

/// What the patient list orders by first: the patients' order (nom and prénom folded by
/// foldForSearch(), naissance, id) breaks the ties, and is the whole order by Name.
enum class PatientSort { Name, Prenom, Naissance, Dossier, LastVisit, LastResult, Alerts };

/// The patients the list shows: those whose nom, prénom or dossier hold every word of `search`
/// (as matches() says), only those with an alert when `alertsOnly`, in the order `sort` gives.
struct PatientQuery {
    QString search;
    bool alertsOnly = false;
    PatientSort sort = PatientSort::Name;
    bool descending = false;
};

/// The patients and visits an import brings, written in one transaction.
struct PatientVisits {
    Patient patient; ///< id 0: created, else an existing patient
    std::vector<Visit> visits;
};

/// What the integrity check found.
struct CheckReport {
    bool sound = false;
    QString message; ///< French, says whether the records are sound and, if not, what is wrong
};

/// The French problems of a patient's fields, each with its field, before anything is written:
/// nom required, naissance required and plausible on `today`, lengths in characters.
struct FieldProblem {
    enum class Field { Nom, Prenom, Naissance, Dossier };
    Field field;
    QString message;
};

/// Every failure of the records, with the French message the user reads. The message never
/// quotes a patient's data, so it may go to standard error.
class StoreError : public std::runtime_error {
public:
    enum class Kind {
        Input,    ///< a value breaks a rule (required field, length, date, measures): field() may say which
        Conflict, ///< the records changed meanwhile: a stale version, a dossier taken, a visit stored already
        NotFound, ///< the patient or visit no longer exists, or there is no records file
        ReadOnly, ///< the records are open read-only: nothing can be changed
        Busy,     ///< for now: locked by another program or workstation for more than 5 s
        DiskFull, ///< for now: no room left on the records' disk; the change was rolled back
        Connection,  ///< the server cannot be reached, or the connection was lost: nothing was stored
        Rights,      ///< the role or the file's permissions forbid it
        Damaged,     ///< not records of this program: damaged, another program's, a newer version
        Output,      ///< a file or output the records are written to failed
        Unconfirmed, ///< the connection was lost once the change was sent for good: it may be stored
        Failed,      ///< any other fault of the database
    };

    StoreError(Kind kind, const QString& message, QString nativeCode = {},
               std::optional<FieldProblem::Field> field = std::nullopt);

    Kind kind() const { return m_kind; }
    const QString& message() const { return m_message; }
    /// The engine's own code: SQLite's extended result code, or the server's SQLSTATE; empty when the
    /// failure is the program's own finding.
    const QString& nativeCode() const { return m_nativeCode; }
    /// The field of the patient an Input or Conflict failure is about, when it is one.
    std::optional<FieldProblem::Field> field() const { return m_field; }

private:
    Kind m_kind;
    QString m_message;
    QString m_nativeCode;
    std::optional<FieldProblem::Field> m_field;
};

/// The records behind one database setting. Not thread-safe: one store per thread.
class PatientStore {
public:
    virtual ~PatientStore() = default;
    PatientStore(const PatientStore&) = delete;
    PatientStore& operator=(const PatientStore&) = delete;

    /// The file or server the records are in, for messages ("/home/…/dossiers.sqlite").
    virtual QString location() const = 0;
    /// True when the records could only be opened for reading; readOnlyNote() says why in French.
    virtual bool readOnly() const = 0;
    virtual QString readOnlyNote() const = 0;

    /// Every patient with their latest visit, in the patients' order (see PatientSort).
    virtual std::vector<PatientSummary> patients() const = 0;
    /// The patients `query` selects, `count` of them from the `offset`-th on: a page of the list,
    /// read from the indexed folded names whatever the size of the records.
    virtual std::vector<PatientSummary> patientPage(const PatientQuery& query, int offset,
                                                    int count) const = 0;
    /// The place of the patient in the list `query` gives (0 first), or nothing when not in it.
    virtual std::optional<int> patientRow(const PatientQuery& query, qint64 patientId) const = 0;
    /// Calls `each` for every current alert of every patient, in the patients' order: the patients
    /// the list shows with only those with an alert.
    virtual void forEachAlert(const std::function<void(const Patient&, const PatientAlert&)>& each) const = 0;
    /// The patient as stored now, or nothing when deleted.
    virtual std::optional<Patient> patient(qint64 id) const = 0;
    /// The stored patients with the same identity as `patient`: nom and prénom folded as the search
    /// folds them, and birth date; in the patients' order, from their index.
    virtual std::vector<Patient> namesakes(const Patient& patient) const = 0;
    /// A patient's visits, newest first (by date, then latest stored first).
    virtual std::vector<Visit> visits(qint64 patientId) const = 0;
    /// A value that changes whenever another connection (another window or workstation) changed
    /// the records; cheap enough to be read every few seconds. Compare it only with earlier values
    /// of the same store: this store's own changes may leave it as it was.
    virtual QString changeStamp() const = 0;

    /// Stores a new patient (its id must be 0) and returns it as stored: id, timestamps, version 1.
    virtual Patient addPatient(const Patient& patient) = 0;
    /// Stores the changes of a patient read with version `patient.version`; returns it as stored
    /// with its new version. Throws StoreError Conflict when it was changed since, NotFound when deleted.
    virtual Patient updatePatient(const Patient& patient) = 0;
    /// Deletes a patient and all their visits.
    virtual void deletePatient(qint64 id) = 0;

    /// Stores a visit of an existing patient, durably, and returns it as stored. Throws StoreError
    /// Conflict when the patient already has a visit of that date, poids and taille (as numbers).
    virtual Visit addVisit(const Visit& visit) = 0;
    virtual void deleteVisit(qint64 visitId) = 0;

    /// Writes patients (new ones with id 0) and their visits in one transaction: all or nothing.
    /// Returns how many visits were stored: one identical to a stored visit (same patient, date,
    /// poids and taille as numbers), as another workstation may have just saved, is left out. The
    /// new patients' ids are set in `batch`, so that a batch written next can add to them.
    virtual int addAll(std::vector<PatientVisits>& batch) = 0;
    /// Calls `each` for every patient, without their visits, in the order they were created: what
    /// an import looks its patients up in.
    virtual void forEachPatient(const std::function<void(const Patient&)>& each) const = 0;
    /// Calls `each` for every visit, ordered by patient (the patients' order, the same on every
    /// engine) then date, and once with no visit (nullptr) for each patient who has none.
    virtual void forEachRecord(const std::function<void(const Patient&, const Visit*)>& each) const = 0;
    /// As forEachRecord(), with only what assesses each visit read: its id, date, measures, age,
    /// imc and resultat, its other texts left empty. Much less to read over a whole base.
    virtual void forEachAssessment(const std::function<void(const Patient&, const Visit*)>& each) const = 0;

    /// Runs `work` as one write transaction that holds the records' write lock from its start, so
    /// that nothing it reads can change before what it writes is committed: "already there" and
    /// "add" as one step, whatever other programs write meanwhile. The store's changes made inside
    /// `work` join it; it is rolled back when `work` throws.
    virtual void transaction(const std::function<void()>& work) = 0;

    /// Writes a consistent copy of the records into the SQLite file `target` (replaced only once
    /// the copy is complete), while other programs may be using the records.
    virtual void backup(const QString& target) const = 0;
    /// Runs the database's integrity check.
    virtual CheckReport verify() const = 0;

protected:
    PatientStore() = default;
};

/// The database setting: VIMORA_DATABASE when set, else vimora/dossiers.sqlite in the user's data
/// directory (QStandardPaths::GenericDataLocation), the same for every version of the program.
QString databaseSetting();

/// How a SQLite records file may be opened.
enum class Access {
    CreateWhenMissing, ///< the window and importer: a missing file is created
    Existing,          ///< any other command: a missing file is refused (NotFound), nothing created
    ReadOnly,          ///< an existing file, read and never changed (a copy being restored)
};

/// Opens the records that `setting` names: a libpq URI ("postgresql://…") names a server, any
/// other text a SQLite file, opened as `access` says (created 0600, in a 0700 directory, when
/// missing and allowed). Throws StoreError.
std::unique_ptr<PatientStore> openStore(const QString& setting, Access access = Access::CreateWhenMissing);

/// Keeps the notes Qt and its database drivers write on standard error ("Unable to free
/// statement…", in English, which may quote a value of the records) from the user's terminal: the
/// programs tell every failure themselves, in French. Fatal messages still go out.
void silenceDriverMessages();

/// nom, prénom or dossier text as the search compares it: case folded, accents removed.
QString foldForSearch(const QString& text);

/// A patient without a dossier as an import recognises them: nom and prénom folded as the search
/// folds them, and naissance.
QString patientNameKey(const QString& nom, const QString& prenom, QDate naissance);

/// What the search looks into: the patient's nom, prénom and dossier folded by foldForSearch().
QString searchKey(const Patient& patient);

/// The folded words of `search`, each of which a patient found holds.
QStringList searchWords(const QString& search);

/// True when the summary's nom, prénom or dossier contains every word of `search`, ignoring
/// case and accents ("eloise" finds "Éloïse").
bool matches(const PatientSummary& summary, const QString& search);

/// The problems of `patient`'s fields (see FieldProblem).
std::vector<FieldProblem> patientProblems(const Patient& patient, QDate today);

} // namespace vimora::records
