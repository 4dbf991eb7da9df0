#pragma once

#include "PatientStore.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringEncoder>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>

struct sqlite3;
struct sqlite3_stmt;

// Statements run by SQLite itself on the connection Qt's driver opened, for the many rows of a
// large write: through Qt SQL every value of every row is a QVariant bound, converted and copied,
// which cost a large import most of its time. The library is the one the driver loaded, resolved
// at run time, so that a program that never opens a file does not load it.
namespace vimora::records {

class SqliteStatement {
public:
    /// Turns a failed statement's extended SQLite result code into the records' error.
    using ErrorOfCode = std::function<StoreError(int code)>;

    /// `sql` (one statement) prepared on `database`'s connection, or nothing when the connection
    /// cannot be reached this way. Throws `errorOf` when SQLite refuses it.
    static std::optional<SqliteStatement> prepare(const QSqlDatabase& database, const QString& sql,
                                                  ErrorOfCode errorOf);

    /// Binds `values` to the statement's marks in order: whole numbers as integers, the others as
    /// their text, a null text as NULL.
    void bind(const QVariantList& values);
    /// Runs the statement on, up to its next row; false at its end, when it is ready to run again.
    bool next();
    qint64 integer(int column) const;
    QString text(int column) const;
    /// The rows the last run inserted, changed or deleted.
    int changes() const;

private:
    struct Finalize {
        void operator()(sqlite3_stmt* statement) const;
    };
    SqliteStatement(sqlite3* connection, sqlite3_stmt* statement, ErrorOfCode errorOf);

    sqlite3* m_connection;
    std::unique_ptr<sqlite3_stmt, Finalize> m_statement;
    ErrorOfCode m_errorOf;
    QStringEncoder m_encoder{QStringEncoder::Utf8, QStringConverter::Flag::Stateless};
    /// The texts bound, which SQLite reads in place.
    QByteArray m_texts;
};

} // namespace vimora::records
