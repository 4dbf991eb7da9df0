#include "SqliteDirect.h"

#include <QLibrary>
#include <QSqlDriver>

#include <sqlite3.h>

#include <cstring>

namespace vimora::records {

namespace {

struct SqliteFunctions {
    decltype(&sqlite3_prepare_v2) prepare = nullptr;
    decltype(&sqlite3_finalize) finalize = nullptr;
    decltype(&sqlite3_bind_int64) bindInteger = nullptr;
    decltype(&sqlite3_bind_text) bindText = nullptr;
    decltype(&sqlite3_bind_null) bindNull = nullptr;
    decltype(&sqlite3_step) step = nullptr;
    decltype(&sqlite3_reset) reset = nullptr;
    decltype(&sqlite3_column_int64) columnInteger = nullptr;
    decltype(&sqlite3_column_text) columnText = nullptr;
    decltype(&sqlite3_column_bytes) columnBytes = nullptr;
    decltype(&sqlite3_changes) changes = nullptr;
    decltype(&sqlite3_extended_errcode) errorCode = nullptr;
};

// Loaded by Qt's driver already: the same library, whose connection the driver's handle is.
const SqliteFunctions* sqlite() {
    static const std::optional<SqliteFunctions> loaded = []() -> std::optional<SqliteFunctions> {
        QLibrary library(QStringLiteral("sqlite3"), 0);
        if (!library.load())
            return std::nullopt;
        bool resolved = true;
        const auto resolve = [&](auto& function, const char* name) {
            function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(library.resolve(name));
            resolved = resolved && function != nullptr;
        };
        SqliteFunctions functions;
        resolve(functions.prepare, "sqlite3_prepare_v2");
        resolve(functions.finalize, "sqlite3_finalize");
        resolve(functions.bindInteger, "sqlite3_bind_int64");
        resolve(functions.bindText, "sqlite3_bind_text");
        resolve(functions.bindNull, "sqlite3_bind_null");
        resolve(functions.step, "sqlite3_step");
        resolve(functions.reset, "sqlite3_reset");
        resolve(functions.columnInteger, "sqlite3_column_int64");
        resolve(functions.columnText, "sqlite3_column_text");
        resolve(functions.columnBytes, "sqlite3_column_bytes");
        resolve(functions.changes, "sqlite3_changes");
        resolve(functions.errorCode, "sqlite3_extended_errcode");
        if (!resolved)
            return std::nullopt;
        return functions;
    }();
    return loaded ? &*loaded : nullptr;
}

sqlite3* connectionOf(const QSqlDatabase& database) {
    const QVariant handle = database.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

} // namespace

void SqliteStatement::Finalize::operator()(sqlite3_stmt* statement) const {
    sqlite()->finalize(statement);
}

SqliteStatement::SqliteStatement(sqlite3* connection, sqlite3_stmt* statement, ErrorOfCode errorOf)
    : m_connection(connection)
    , m_statement(statement)
    , m_errorOf(std::move(errorOf)) {}

std::optional<SqliteStatement> SqliteStatement::prepare(const QSqlDatabase& database, const QString& sql,
                                                        ErrorOfCode errorOf) {
    sqlite3* connection = connectionOf(database);
    if (sqlite() == nullptr || connection == nullptr)
        return std::nullopt;
    const QByteArray utf8 = sql.toUtf8();
    sqlite3_stmt* statement = nullptr;
    if (sqlite()->prepare(connection, utf8.constData(), int(utf8.size()), &statement, nullptr) != SQLITE_OK)
        throw errorOf(sqlite()->errorCode(connection));
    return SqliteStatement(connection, statement, std::move(errorOf));
}

namespace {

bool isWholeNumber(const QVariant& value) {
    return value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::Int;
}

} // namespace

void SqliteStatement::bind(const QVariantList& values) {
    // As Qt's driver binds them: whole numbers as integers, any other value as its text, a null
    // text as NULL.
    std::vector<QString> texts(std::size_t(values.size()));
    qsizetype room = 0;
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (isWholeNumber(values[i]))
            continue;
        QString& text = texts[std::size_t(i)];
        text = values[i].toString();
        room += m_encoder.requiredSpace(text.size()) + 1;
    }
    // The texts go into one buffer, each followed by a NUL, which SQLite reads in place until they
    // are bound again: one allocation a statement rather than one a value.
    QByteArray utf8(room, Qt::Uninitialized);
    char* at = utf8.data();
    for (qsizetype i = 0; i < values.size(); ++i) {
        const int mark = int(i) + 1;
        const QString& text = texts[std::size_t(i)];
        if (isWholeNumber(values[i])) {
            sqlite()->bindInteger(m_statement.get(), mark, values[i].toLongLong());
        } else if (text.isNull()) {
            sqlite()->bindNull(m_statement.get(), mark);
        } else {
            char* const start = at;
            at = m_encoder.appendToBuffer(start, text);
            *at++ = 0;
            const auto length = std::size_t(at - start - 1);
            // Its length untold when it holds no NUL: SQLite then knows the NUL after it is there,
            // and reads it in place where it needs one (the index of the measures).
            sqlite()->bindText(m_statement.get(), mark, start,
                               std::memchr(start, 0, length) == nullptr ? -1 : int(length), SQLITE_STATIC);
        }
    }
    m_texts.swap(utf8);
}

bool SqliteStatement::next() {
    const int result = sqlite()->step(m_statement.get());
    if (result == SQLITE_ROW)
        return true;
    const int code = sqlite()->errorCode(m_connection);
    sqlite()->reset(m_statement.get());
    if (result != SQLITE_DONE)
        throw m_errorOf(code);
    return false;
}

qint64 SqliteStatement::integer(int column) const {
    return sqlite()->columnInteger(m_statement.get(), column);
}

QString SqliteStatement::text(int column) const {
    const auto* utf8 = reinterpret_cast<const char*>(sqlite()->columnText(m_statement.get(), column));
    return QString::fromUtf8(utf8, sqlite()->columnBytes(m_statement.get(), column));
}

int SqliteStatement::changes() const {
    return sqlite()->changes(m_connection);
}

} // namespace vimora::records
