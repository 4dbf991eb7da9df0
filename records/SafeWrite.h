#pragma once

#include <QIODevice>
#include <QString>

#include <functional>
#include <optional>

// The records' files (exports, copies of the base) through the program's one writer.
namespace vimora::records {

/// Writes `path` as platform::writeWholeFile() does. `write` returns false when it failed on its
/// own. Returns the French reason of a failure (naming the file), or nothing.
std::optional<QString> writeFileSafely(const QString& path, const std::function<bool(QIODevice&)>& write);

/// Copies what remains to be read of `source` into `path`, as writeFileSafely writes.
std::optional<QString> copyFileSafely(QIODevice& source, const QString& path);

} // namespace vimora::records
