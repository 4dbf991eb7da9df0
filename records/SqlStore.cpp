#include "SqlStore.h"

#include <QAtomicInteger>
#include <QScopeGuard>

namespace vimora::records {

namespace {

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
    m_kept.clear();
    m_database.close();
    m_database = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connectionName);
}

void SqlStore::forgetStatements() const {
    m_kept.clear();
}

void SqlStore::withStatement(const QString& sql, const std::function<void(QSqlQuery&)>& use) const {
    if (!m_inTransaction) {
        QSqlQuery query = prepared(sql);
        use(query);
        return;
    }
    auto kept = m_kept.find(sql);
    if (kept == m_kept.end())
        kept = m_kept.emplace(sql, prepared(sql)).first;
    use(kept->second);
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

void SqlStore::requireWritable() const {
    if (m_readOnly)
        throw StoreError(StoreError::Kind::ReadOnly, m_readOnlyNote);
}

void SqlStore::keepReadOnly(const QString& why) {
    m_readOnly = true;
    m_readOnlyNote = why + QStringLiteral(" Les dossiers peuvent être consultés, pas enregistrés.");
}

void SqlStore::write(const std::function<void()>& change) {
    if (m_inTransaction) {
        change();
        return;
    }
    requireWritable();
    ready();
    m_inTransaction = true;
    const auto closed = qScopeGuard([&] {
        m_inTransaction = false;
        forgetStatements();
    });
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

} // namespace vimora::records
