#include "SqlStore.h"

#include "VisitRecords.h"

#include <QAtomicInteger>
#include <QScopeGuard>
#include <QSet>

#include <algorithm>
#include <tuple>

namespace vimora::records {

namespace {

QString isoDate(QDate date) {
    return date.toString(Qt::ISODate);
}

QString timestampNow() {
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
}

QVariant nullableText(const QString& text) {
    return text.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(text);
}

// Qt binds a null QString as NULL: the records' texts are never NULL, at most empty.
QVariant text(const QString& value) {
    return value.isNull() ? QVariant(QString(QLatin1String(""))) : QVariant(value);
}

QString sexCode(Sex sex) {
    return sex == Sex::Female ? QStringLiteral("F") : QStringLiteral("M");
}

// Timestamps are written by timestampNow() alone: read back without Qt's general date parser,
// which costs more than the rest of the patient list.
QDateTime readTimestamp(const QString& text) {
    if (text.size() != 20)
        return QDateTime::fromString(text, Qt::ISODate);
    const auto number = [&](qsizetype from, qsizetype length) {
        return QStringView(text).mid(from, length).toInt();
    };
    return {QDate(number(0, 4), number(5, 2), number(8, 2)),
            QTime(number(11, 2), number(14, 2), number(17, 2)), Qt::UTC};
}

// The columns of a patient, in the order patientAt() reads them from `first` on.
const QString kPatientColumns = QStringLiteral(
    "p.id, p.dossier, p.nom, p.prenom, p.sexe, p.naissance, p.creation, p.modification, p.version");
constexpr int kPatientColumnCount = 9;
const QString kVisitColumns = QStringLiteral("v.id, v.patient_id, v.date, v.age, v.poids, v.taille, v.imc, "
                                             "v.poids_max, v.poids_min, v.resultat, v.conseils, v.objectif, "
                                             "v.remarque, v.creation");

Patient patientAt(const QSqlQuery& query, int first) {
    Patient patient;
    patient.id = query.value(first).toLongLong();
    patient.dossier = query.value(first + 1).toString();
    patient.nom = query.value(first + 2).toString();
    patient.prenom = query.value(first + 3).toString();
    patient.sexe = query.value(first + 4).toString() == QLatin1String("F") ? Sex::Female : Sex::Male;
    patient.naissance = QDate::fromString(query.value(first + 5).toString(), Qt::ISODate);
    patient.created = readTimestamp(query.value(first + 6).toString());
    patient.updated = readTimestamp(query.value(first + 7).toString());
    patient.version = query.value(first + 8).toInt();
    return patient;
}

Visit visitAt(const QSqlQuery& query, int first) {
    Visit visit;
    visit.id = query.value(first).toLongLong();
    visit.patientId = query.value(first + 1).toLongLong();
    visit.date = QDate::fromString(query.value(first + 2).toString(), Qt::ISODate);
    visit.age = query.value(first + 3).toString();
    visit.poids = query.value(first + 4).toString();
    visit.taille = query.value(first + 5).toString();
    visit.imc = query.value(first + 6).toString();
    visit.poidsMax = query.value(first + 7).toString();
    visit.poidsMin = query.value(first + 8).toString();
    visit.resultat = query.value(first + 9).toString();
    visit.conseils = query.value(first + 10).toString();
    visit.objectif = query.value(first + 11).toString();
    visit.remarque = query.value(first + 12).toString();
    visit.created = readTimestamp(query.value(first + 13).toString());
    return visit;
}

QString nextConnectionName() {
    static QAtomicInteger<quint64> counter;
    return QStringLiteral("vimora-records-%1").arg(counter.fetchAndAddRelaxed(1));
}

} // namespace

SqlStore::SqlStore()
    : m_connectionName(nextConnectionName()) {}

SqlStore::~SqlStore() {
    closeDatabase();
}

void SqlStore::closeDatabase() const {
    // Registered even when its driver could not be loaded.
    if (!QSqlDatabase::contains(m_connectionName))
        return;
    m_database.close();
    m_database = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connectionName);
}

QSqlQuery SqlStore::prepared(const QString& sql) const {
    QSqlQuery query(m_database);
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        fail(query);
    return query;
}

void SqlStore::run(QSqlQuery& query) const {
    if (!query.exec())
        fail(query);
}

void SqlStore::run(const QString& sql) const {
    QSqlQuery query(m_database);
    if (!query.exec(sql))
        fail(query);
    query.finish();
}

void SqlStore::fail(const QSqlQuery& query) const {
    throw errorOf(query.lastError());
}

// next() answers false both at the end of the rows and when reading them failed.
void SqlStore::failIfCut(const QSqlQuery& query) const {
    if (query.lastError().isValid())
        fail(query);
}

Patient SqlStore::storedPatient(qint64 id) const {
    const std::optional<Patient> stored = patient(id);
    if (!stored) {
        throw StoreError(
            StoreError::Kind::NotFound,
            QStringLiteral("Ce patient a été supprimé entre-temps, sur ce poste ou sur un autre."));
    }
    return *stored;
}

void SqlStore::requireWritable() const {
    if (m_readOnly)
        throw StoreError(StoreError::Kind::ReadOnly, m_readOnlyNote);
}

void SqlStore::write(const std::function<void()>& change) {
    if (m_inTransaction) {
        change();
        return;
    }
    requireWritable();
    ready();
    m_inTransaction = true;
    const auto closed = qScopeGuard([&] { m_inTransaction = false; });
    try {
        begin();
        change();
        commit();
    } catch (...) {
        if (m_database.isOpen())
            QSqlQuery(m_database).exec(QStringLiteral("ROLLBACK"));
        throw;
    }
}

void SqlStore::transaction(const std::function<void()>& work) {
    write([&] {
        lockWrites();
        work();
    });
}

void SqlStore::prepare() const {
    if (!m_inTransaction)
        ready();
}

QString SqlStore::patientListQuery(const QString& patientColumns) const {
    return QStringLiteral("SELECT %1, (SELECT count(*) FROM visite c WHERE c.patient_id = p.id), "
                          "v.date, v.resultat FROM patient p LEFT JOIN visite v ON v.id = "
                          "(SELECT l.id FROM visite l WHERE l.patient_id = p.id "
                          "ORDER BY l.date DESC, l.id DESC LIMIT 1)")
        .arg(patientColumns);
}

std::vector<PatientSummary> SqlStore::patients() const {
    prepare();
    QSqlQuery query = prepared(patientListQuery(kPatientColumns));
    run(query);
    struct Sorted {
        PatientSummary summary;
        QString nom;
        QString prenom;
    };
    std::vector<Sorted> rows;
    while (query.next()) {
        Sorted row;
        row.summary.patient = patientAt(query, 0);
        row.summary.visitCount = query.value(kPatientColumnCount).toInt();
        row.summary.lastVisit =
            QDate::fromString(query.value(kPatientColumnCount + 1).toString(), Qt::ISODate);
        row.summary.lastResult = query.value(kPatientColumnCount + 2).toString();
        const Patient& patient = row.summary.patient;
        row.nom = foldForSearch(patient.nom);
        row.prenom = foldForSearch(patient.prenom);
        row.summary.searchKey =
            row.nom + QLatin1Char(' ') + row.prenom + QLatin1Char(' ') + foldForSearch(patient.dossier);
        rows.push_back(std::move(row));
    }
    failIfCut(query);
    std::sort(rows.begin(), rows.end(), [](const Sorted& a, const Sorted& b) {
        if (const int byNom = a.nom.compare(b.nom))
            return byNom < 0;
        if (const int byPrenom = a.prenom.compare(b.prenom))
            return byPrenom < 0;
        return a.summary.patient.naissance < b.summary.patient.naissance;
    });
    std::vector<PatientSummary> summaries;
    summaries.reserve(rows.size());
    for (Sorted& row : rows)
        summaries.push_back(std::move(row.summary));
    return summaries;
}

std::optional<Patient> SqlStore::patient(qint64 id) const {
    prepare();
    QSqlQuery query =
        prepared(QStringLiteral("SELECT %1 FROM patient p WHERE p.id = ?").arg(kPatientColumns));
    query.addBindValue(id);
    run(query);
    if (!query.next()) {
        failIfCut(query);
        return std::nullopt;
    }
    return patientAt(query, 0);
}

std::vector<Visit> SqlStore::visits(qint64 patientId) const {
    prepare();
    QSqlQuery query = prepared(
        QStringLiteral("SELECT %1 FROM visite v WHERE v.patient_id = ? ORDER BY v.date DESC, v.id DESC")
            .arg(kVisitColumns));
    query.addBindValue(patientId);
    run(query);
    std::vector<Visit> visits;
    while (query.next())
        visits.push_back(visitAt(query, 0));
    failIfCut(query);
    return visits;
}

namespace {

const QString kInsertPatient = QStringLiteral("INSERT INTO patient (dossier, nom, prenom, sexe, naissance, "
                                              "creation, modification, version) VALUES ");
const QString kPatientRow = QStringLiteral("(?, ?, ?, ?, ?, ?, ?, 1)");
const QString kInsertVisit = QStringLiteral("INSERT INTO visite (patient_id, date, age, poids, taille, imc, "
                                            "poids_max, poids_min, resultat, conseils, objectif, remarque, "
                                            "creation) VALUES ");
const QString kVisitRow = QStringLiteral("(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
const QString kReturningId = QStringLiteral(" RETURNING id");
// A visit identical to a stored one (the schema's unique key) is not inserted, rather than failing
// the whole transaction: both engines then insert no row.
const QString kUnlessStored = QStringLiteral(" ON CONFLICT DO NOTHING");
// An import's patients and visits go in rows of this many per statement: one round trip to a
// server for a hundred rows rather than one each.
constexpr std::size_t kRowsPerStatement = 100;

QString rowsInsert(const QString& insert, const QString& row, std::size_t rows) {
    QStringList marks;
    for (std::size_t i = 0; i < rows; ++i)
        marks << row;
    return insert + marks.join(QStringLiteral(", "));
}

// The values of kInsertPatient's columns.
QVariantList patientValues(const Patient& patient, const QString& now) {
    return {nullableText(patient.dossier),
            text(patient.nom),
            text(patient.prenom),
            sexCode(patient.sexe),
            isoDate(patient.naissance),
            now,
            now};
}

StoreError dossierTaken() {
    return {StoreError::Kind::Conflict,
            QStringLiteral("Ce numéro de dossier est déjà celui d'un autre patient."),
            {},
            FieldProblem::Field::Dossier};
}

void refuseInvalid(const Patient& patient) {
    const std::vector<FieldProblem> problems = patientProblems(patient, QDate::currentDate());
    if (!problems.empty())
        throw StoreError(StoreError::Kind::Input, problems.front().message, {}, problems.front().field);
}

} // namespace

void SqlStore::checkPatient(const Patient& patient, qint64 exceptId) const {
    refuseInvalid(patient);
    if (patient.dossier.isEmpty())
        return;
    QSqlQuery taken = prepared(QStringLiteral("SELECT 1 FROM patient WHERE dossier = ? AND id <> ?"));
    taken.addBindValue(patient.dossier);
    taken.addBindValue(exceptId);
    run(taken);
    if (taken.next())
        throw dossierTaken();
    failIfCut(taken);
}

// The patient is read back in the transaction that wrote it: once committed, another workstation
// may delete it before it could be read.
Patient SqlStore::addPatient(const Patient& patient) {
    Patient stored;
    write([&] { stored = storedPatient(insertPatients({&patient}, timestampNow()).front()); });
    return stored;
}

Patient SqlStore::updatePatient(const Patient& patient) {
    Patient updated;
    write([&] {
        checkPatient(patient, patient.id);
        // The visits were judged for the identity stored: a birth date or sex corrected judges
        // them again, and nobody may add one meanwhile.
        QSqlQuery stored =
            prepared(QStringLiteral("SELECT sexe, naissance FROM patient WHERE id = ? AND version = ?%1")
                         .arg(patientRowLock()));
        stored.addBindValue(patient.id);
        stored.addBindValue(patient.version);
        run(stored);
        const bool found = stored.next();
        failIfCut(stored);
        const bool identityChanged = found && (stored.value(0).toString() != sexCode(patient.sexe) ||
                                               stored.value(1).toString() != isoDate(patient.naissance));
        stored.finish();
        QSqlQuery update =
            prepared(QStringLiteral("UPDATE patient SET dossier = ?, nom = ?, prenom = ?, sexe = ?, "
                                    "naissance = ?, modification = ?, version = version + 1 "
                                    "WHERE id = ? AND version = ?"));
        update.addBindValue(nullableText(patient.dossier));
        update.addBindValue(text(patient.nom));
        update.addBindValue(text(patient.prenom));
        update.addBindValue(sexCode(patient.sexe));
        update.addBindValue(isoDate(patient.naissance));
        update.addBindValue(timestampNow());
        update.addBindValue(patient.id);
        update.addBindValue(patient.version);
        run(update);
        if (update.numRowsAffected() == 1) {
            update.finish();
            if (identityChanged)
                rejudgeVisits(patient.id, Unjudgeable::Refuse);
            updated = storedPatient(patient.id);
            return;
        }
        if (!this->patient(patient.id)) {
            throw StoreError(
                StoreError::Kind::NotFound,
                QStringLiteral("Ce patient a été supprimé entre-temps, sur ce poste ou sur un autre."));
        }
        throw StoreError(
            StoreError::Kind::Conflict,
            QStringLiteral("Ce patient a été modifié sur un autre poste depuis qu'il est affiché : "
                           "rien n'a été enregistré. Ses données vont être rechargées."));
    });
    return updated;
}

namespace {

// Visits are judged again a thousand at a time, so that memory stays flat over a whole base.
constexpr int kRejudgedPerRead = 1000;
const QString kUpdateJudgement = QStringLiteral(
    "UPDATE visite SET age = n.column2, imc = n.column3, poids_max = n.column4, poids_min = n.column5, "
    "resultat = n.column6, conseils = n.column7, objectif = n.column8 FROM (VALUES %1) AS n "
    "WHERE visite.id = CAST(n.column1 AS BIGINT)");
const QString kJudgementRow = QStringLiteral("(?, ?, ?, ?, ?, ?, ?, ?)");

} // namespace

void SqlStore::rejudgeVisits(qint64 patientId, Unjudgeable unjudgeable) const {
    QSqlQuery read =
        prepared(QStringLiteral("SELECT %1, %2 FROM visite v JOIN patient p ON p.id = v.patient_id "
                                "WHERE v.id > ?%3 ORDER BY v.id LIMIT %4")
                     .arg(kPatientColumns, kVisitColumns,
                          patientId == 0 ? QString() : QStringLiteral(" AND v.patient_id = ?"))
                     .arg(kRejudgedPerRead));
    qint64 after = 0;
    int rows = kRejudgedPerRead;
    while (rows == kRejudgedPerRead) {
        read.bindValue(0, after);
        if (patientId != 0)
            read.bindValue(1, patientId);
        run(read);
        rows = 0;
        std::vector<QVariantList> changed;
        while (read.next()) {
            ++rows;
            const Visit stored = visitAt(read, kPatientColumnCount);
            after = stored.id;
            Visit visit;
            try {
                visit = rejudged(patientAt(read, 0), stored);
            } catch (const StoreError& error) {
                // A visit stored by an earlier rule keeps the texts it was shown with; a correction
                // that would leave one unjudged is refused whole.
                if (unjudgeable == Unjudgeable::KeepAsStored)
                    continue;
                throw StoreError(StoreError::Kind::Input,
                                 error.message() + QStringLiteral(" Rien n'a été enregistré."));
            }
            if (!sameJudgement(visit, stored)) {
                changed.push_back({QString::number(visit.id), text(visit.age), text(visit.imc),
                                   text(visit.poidsMax), text(visit.poidsMin), text(visit.resultat),
                                   text(visit.conseils), text(visit.objectif)});
            }
        }
        failIfCut(read);
        read.finish();
        inChunks(
            changed.size(),
            [](std::size_t count) { return kUpdateJudgement.arg(rowsInsert({}, kJudgementRow, count)); },
            [&](QSqlQuery& update, std::size_t first, std::size_t count) {
                int mark = 0;
                for (std::size_t row = first; row < first + count; ++row) {
                    for (const QVariant& value : changed[row])
                        update.bindValue(mark++, value);
                }
                run(update);
                update.finish();
            });
    }
}

void SqlStore::migrateFrom(int from, Dialect dialect) const {
    for (const QString& statement : migrationFrom(from, dialect))
        run(statement);
    if (rejudgesVisits(from))
        rejudgeVisits(0, Unjudgeable::KeepAsStored);
}

void SqlStore::deletePatient(qint64 id) {
    write([&] {
        QSqlQuery remove = prepared(QStringLiteral("DELETE FROM patient WHERE id = ?"));
        remove.addBindValue(id);
        run(remove);
        if (remove.numRowsAffected() == 0) {
            throw StoreError(StoreError::Kind::NotFound,
                             QStringLiteral("Ce patient a déjà été supprimé, sur ce poste ou sur un autre."));
        }
    });
}

namespace {

// The values of kInsertVisit's columns, once the visit is found fit to be stored.
QVariantList visitValues(const Visit& visit, const QString& now) {
    const QString problem = visitProblem(visit);
    if (!problem.isEmpty())
        throw StoreError(StoreError::Kind::Input, problem);
    if (!visit.date.isValid())
        throw StoreError(StoreError::Kind::Input,
                         QStringLiteral("La date de la consultation est obligatoire."));
    // A restored copy keeps when its visits were first stored.
    const QString created = visit.created.isValid() ? visit.created.toUTC().toString(Qt::ISODate) : now;
    return {visit.patientId,
            isoDate(visit.date),
            text(visit.age),
            text(visit.poids),
            text(visit.taille),
            text(visit.imc),
            text(visit.poidsMax),
            text(visit.poidsMin),
            text(visit.resultat),
            text(visit.conseils),
            text(visit.objectif),
            text(visit.remarque),
            created};
}

} // namespace

Visit SqlStore::insertVisit(const Visit& visit, const QString& now) const {
    const QVariantList values = visitValues(visit, now);
    QSqlQuery insert = prepared(rowsInsert(kInsertVisit, kVisitRow, 1) + kUnlessStored + kReturningId);
    for (int i = 0; i < values.size(); ++i)
        insert.bindValue(i, values[i]);
    run(insert);
    if (!insert.next()) {
        failIfCut(insert);
        throw StoreError(StoreError::Kind::Conflict,
                         QStringLiteral("Cette consultation est déjà enregistrée."));
    }
    Visit stored = visit;
    stored.id = insert.value(0).toLongLong();
    stored.created = QDateTime::fromString(values.back().toString(), Qt::ISODate);
    insert.finish();
    return stored;
}

void SqlStore::inChunks(
    std::size_t total, const std::function<QString(std::size_t rows)>& statement,
    const std::function<void(QSqlQuery&, std::size_t first, std::size_t count)>& each) const {
    const std::size_t whole = total / kRowsPerStatement * kRowsPerStatement;
    if (whole > 0) {
        QSqlQuery query = prepared(statement(kRowsPerStatement));
        for (std::size_t first = 0; first < whole; first += kRowsPerStatement)
            each(query, first, kRowsPerStatement);
    }
    if (whole < total) {
        QSqlQuery query = prepared(statement(total - whole));
        each(query, whole, total - whole);
    }
}

int SqlStore::insertVisits(const std::vector<QVariantList>& rows) const {
    int inserted = 0;
    inChunks(
        rows.size(),
        [](std::size_t count) { return rowsInsert(kInsertVisit, kVisitRow, count) + kUnlessStored; },
        [&](QSqlQuery& insert, std::size_t first, std::size_t count) {
            int mark = 0;
            for (std::size_t row = first; row < first + count; ++row) {
                for (const QVariant& value : rows[row])
                    insert.bindValue(mark++, value);
            }
            run(insert);
            inserted += insert.numRowsAffected();
            insert.finish();
        });
    return inserted;
}

std::vector<qint64> SqlStore::insertPatients(const std::vector<const Patient*>& patients,
                                             const QString& now) const {
    std::vector<QString> dossiers;
    QSet<QString> seen;
    for (const Patient* patient : patients) {
        refuseInvalid(*patient);
        if (patient->dossier.isEmpty())
            continue;
        if (seen.contains(patient->dossier))
            throw dossierTaken();
        seen.insert(patient->dossier);
        dossiers.push_back(patient->dossier);
    }
    inChunks(
        dossiers.size(),
        [](std::size_t count) {
            return QStringLiteral("SELECT 1 FROM patient WHERE dossier IN (%1)")
                .arg(QStringList(qsizetype(count), QStringLiteral("?")).join(QStringLiteral(", ")));
        },
        [&](QSqlQuery& taken, std::size_t first, std::size_t count) {
            for (std::size_t i = 0; i < count; ++i)
                taken.bindValue(int(i), dossiers[first + i]);
            run(taken);
            if (taken.next())
                throw dossierTaken();
            failIfCut(taken);
            taken.finish();
        });
    std::vector<qint64> ids;
    ids.reserve(patients.size());
    inChunks(
        patients.size(),
        [](std::size_t count) { return rowsInsert(kInsertPatient, kPatientRow, count) + kReturningId; },
        [&](QSqlQuery& insert, std::size_t first, std::size_t count) {
            int mark = 0;
            for (std::size_t row = first; row < first + count; ++row) {
                for (const QVariant& value : patientValues(*patients[row], now))
                    insert.bindValue(mark++, value);
            }
            run(insert);
            const std::size_t chunkStart = ids.size();
            while (insert.next())
                ids.push_back(insert.value(0).toLongLong());
            failIfCut(insert);
            insert.finish();
            // Both engines draw the ids in the order of the rows (a sequence, the next rowid), but
            // neither promises to return them in that order.
            std::sort(ids.begin() + std::ptrdiff_t(chunkStart), ids.end());
        });
    if (ids.size() != patients.size())
        throw StoreError(StoreError::Kind::Failed,
                         QStringLiteral("Les nouveaux patients n'ont pas tous été enregistrés."));
    return ids;
}

Visit SqlStore::addVisit(const Visit& visit) {
    Visit stored;
    write([&] {
        if (!patient(visit.patientId)) {
            throw StoreError(
                StoreError::Kind::NotFound,
                QStringLiteral("Ce patient a été supprimé entre-temps : la consultation n'a pas été "
                               "enregistrée."));
        }
        stored = insertVisit(visit, timestampNow());
    });
    return stored;
}

void SqlStore::deleteVisit(qint64 visitId) {
    write([&] {
        QSqlQuery remove = prepared(QStringLiteral("DELETE FROM visite WHERE id = ?"));
        remove.addBindValue(visitId);
        run(remove);
        if (remove.numRowsAffected() == 0) {
            throw StoreError(StoreError::Kind::NotFound,
                             QStringLiteral("Cette consultation a déjà été supprimée, sur ce poste ou sur un "
                                            "autre."));
        }
    });
}

int SqlStore::addAll(const std::vector<PatientVisits>& batch) {
    int stored = 0;
    write([&] {
        const QString now = timestampNow();
        std::vector<const Patient*> created;
        for (const PatientVisits& entry : batch) {
            if (entry.patient.id == 0)
                created.push_back(&entry.patient);
        }
        const std::vector<qint64> createdIds = insertPatients(created, now);
        auto createdId = createdIds.begin();
        std::vector<QVariantList> visits;
        for (const PatientVisits& entry : batch) {
            const qint64 patientId = entry.patient.id == 0 ? *createdId++ : entry.patient.id;
            for (Visit visit : entry.visits) {
                visit.patientId = patientId;
                visits.push_back(visitValues(visit, now));
            }
        }
        stored = insertVisits(visits);
    });
    return stored;
}

void SqlStore::forEachVisit(const std::function<void(const Patient&, const Visit&)>& each) const {
    forEachRecord([&](const Patient& patient, const Visit* visit) {
        if (visit != nullptr)
            each(patient, *visit);
    });
}

// Several statements, one snapshot: the patients and their visits as they were at one instant.
void SqlStore::forEachRecord(const std::function<void(const Patient&, const Visit*)>& each) const {
    if (m_inTransaction) {
        streamRecords(each);
        return;
    }
    ready();
    run(beginReading());
    const auto end = qScopeGuard([&] { QSqlQuery(m_database).exec(QStringLiteral("ROLLBACK")); });
    streamRecords(each);
}

// The order is computed here, not by the engine: SQLite and every server collation sort names
// their own way. Patients are sorted in memory, then their visits streamed a chunk of patients at
// a time, in that order.
void SqlStore::streamRecords(const std::function<void(const Patient&, const Visit*)>& each) const {
    struct Sorted {
        Patient patient;
        QString nom;
        QString prenom;
    };
    std::vector<Sorted> patients;
    QSqlQuery list = prepared(QStringLiteral("SELECT %1 FROM patient p").arg(kPatientColumns));
    run(list);
    while (list.next()) {
        Sorted row{patientAt(list, 0), {}, {}};
        row.nom = foldForSearch(row.patient.nom);
        row.prenom = foldForSearch(row.patient.prenom);
        patients.push_back(std::move(row));
    }
    failIfCut(list);
    list.finish();
    std::sort(patients.begin(), patients.end(), [](const Sorted& a, const Sorted& b) {
        if (const int byNom = a.nom.compare(b.nom))
            return byNom < 0;
        if (const int byPrenom = a.prenom.compare(b.prenom))
            return byPrenom < 0;
        return std::tie(a.patient.naissance, a.patient.id) < std::tie(b.patient.naissance, b.patient.id);
    });
    inChunks(
        patients.size(),
        [](std::size_t count) {
            QString ranks;
            for (std::size_t i = 0; i < count; ++i)
                ranks += QStringLiteral(" WHEN ? THEN %1").arg(i);
            return QStringLiteral(
                       "SELECT CASE v.patient_id%1 END AS rang, %2 FROM visite v WHERE v.patient_id "
                       "IN (%3) ORDER BY rang, v.date, v.id")
                .arg(ranks, kVisitColumns,
                     QStringList(qsizetype(count), QStringLiteral("?")).join(QStringLiteral(", ")));
        },
        [&](QSqlQuery& visits, std::size_t first, std::size_t count) {
            for (std::size_t i = 0; i < count; ++i) {
                visits.bindValue(int(i), patients[first + i].patient.id);
                visits.bindValue(int(count + i), patients[first + i].patient.id);
            }
            run(visits);
            // Patients without visits have no row: they come before the next one that has.
            std::size_t next = first;
            while (visits.next()) {
                const std::size_t at = first + std::size_t(visits.value(0).toLongLong());
                for (; next < at; ++next)
                    each(patients[next].patient, nullptr);
                next = at + 1;
                const Visit visit = visitAt(visits, 1);
                each(patients[at].patient, &visit);
            }
            failIfCut(visits);
            visits.finish();
            for (; next < first + count; ++next)
                each(patients[next].patient, nullptr);
        });
}

} // namespace vimora::records
