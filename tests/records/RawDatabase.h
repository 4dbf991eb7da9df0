#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <gtest/gtest.h>

// A SQLite file looked at (or written to) behind the store's back, as another program would.
namespace recordstest {

class RawDatabase {
public:
    explicit RawDatabase(const QString& path) {
        static int counter = 0;
        m_name = QStringLiteral("raw-%1").arg(++counter);
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        database.setDatabaseName(path);
        EXPECT_TRUE(database.open());
    }
    ~RawDatabase() {
        QSqlDatabase::database(m_name).close();
        QSqlDatabase::removeDatabase(m_name);
    }
    RawDatabase(const RawDatabase&) = delete;
    RawDatabase& operator=(const RawDatabase&) = delete;

    /// The first column of the first row, or an invalid value on an error.
    QVariant value(const QString& sql) const {
        QSqlQuery query(QSqlDatabase::database(m_name));
        if (!query.exec(sql) || !query.next())
            return {};
        return query.value(0);
    }

    bool exec(const QString& sql) const { return QSqlQuery(QSqlDatabase::database(m_name)).exec(sql); }

private:
    QString m_name;
};

} // namespace recordstest
