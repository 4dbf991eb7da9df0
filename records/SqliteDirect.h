#pragma once

#include "PatientStore.h"

#include <QSqlDatabase>
#include <QString>
#include <QVariant>

#include <functional>
#include <optional>
#include <vector>

// The rows of a large write handed to SQLite itself, through the connection Qt's driver opened:
// through Qt SQL each value of each row is a QVariant bound, converted and copied, which cost a large
// import most of its time. The library is the one the driver loaded, resolved at run time, so that a
// program that never opens a file does not load it.
namespace vimora::records {

/// Runs `sql` (one statement) once a row of `rows`, each row's values bound in order (whole
/// numbers as integers, the rest as text, a null QVariant as NULL), in the transaction open on
/// `database`. Returns the rows the statements changed, or nothing when the connection cannot be
/// reached this way (then nothing was run). Throws `errorOfCode` of the extended SQLite result
/// code of a statement that failed.
std::optional<int> runForEachRow(const QSqlDatabase& database, const QString& sql,
                                 const std::vector<QVariantList>& rows,
                                 const std::function<StoreError(int code)>& errorOfCode);

} // namespace vimora::records
