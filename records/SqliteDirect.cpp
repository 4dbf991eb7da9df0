#include "SqliteDirect.h"

#include <QLibrary>
#include <QSqlDriver>

#include <sqlite3.h>

#include <memory>

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
    decltype(&sqlite3_changes) changes = nullptr;
    decltype(&sqlite3_extended_errcode) errorCode = nullptr;
};

// Loaded by Qt's driver already: the same library, so the driver's connection is one of its own.
const SqliteFunctions* sqliteFunctions() {
    static const std::optional<SqliteFunctions> loaded = []() -> std::optional<SqliteFunctions> {
        QLibrary library(QStringLiteral("sqlite3"), 0);
        if (!library.load())
            return std::nullopt;
        const auto resolve = [&library](auto& function, const char* name) {
            function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(library.resolve(name));
            return function != nullptr;
        };
        SqliteFunctions functions;
        if (!resolve(functions.prepare, "sqlite3_prepare_v2") ||
            !resolve(functions.finalize, "sqlite3_finalize") ||
            !resolve(functions.bindInteger, "sqlite3_bind_int64") ||
            !resolve(functions.bindText, "sqlite3_bind_text") ||
            !resolve(functions.bindNull, "sqlite3_bind_null") || !resolve(functions.step, "sqlite3_step") ||
            !resolve(functions.reset, "sqlite3_reset") || !resolve(functions.changes, "sqlite3_changes") ||
            !resolve(functions.errorCode, "sqlite3_extended_errcode"))
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

std::optional<int> runForEachRow(const QSqlDatabase& database, const QString& sql,
                                 const std::vector<QVariantList>& rows,
                                 const std::function<StoreError(int code)>& errorOfCode) {
    const SqliteFunctions* api = sqliteFunctions();
    sqlite3* connection = connectionOf(database);
    if (api == nullptr || connection == nullptr)
        return std::nullopt;
    const QByteArray statementText = sql.toUtf8();
    sqlite3_stmt* raw = nullptr;
    if (api->prepare(connection, statementText.constData(), int(statementText.size()), &raw, nullptr) !=
        SQLITE_OK)
        throw errorOfCode(api->errorCode(connection));
    const std::unique_ptr<sqlite3_stmt, decltype(api->finalize)> statement(raw, api->finalize);
    int changed = 0;
    QByteArray utf8;
    for (const QVariantList& row : rows) {
        for (qsizetype i = 0; i < row.size(); ++i) {
            const QVariant& value = row[i];
            const int mark = int(i) + 1;
            if (value.isNull()) {
                api->bindNull(statement.get(), mark);
            } else if (value.typeId() == QMetaType::LongLong) {
                api->bindInteger(statement.get(), mark, value.toLongLong());
            } else {
                utf8 = value.toString().toUtf8();
                api->bindText(statement.get(), mark, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
            }
        }
        if (api->step(statement.get()) != SQLITE_DONE) {
            const int code = api->errorCode(connection);
            api->reset(statement.get());
            throw errorOfCode(code);
        }
        changed += api->changes(connection);
        api->reset(statement.get());
    }
    return changed;
}

} // namespace vimora::records
