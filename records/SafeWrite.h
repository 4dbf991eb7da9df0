#pragma once

#include <QIODevice>
#include <QString>

#include <functional>
#include <optional>

namespace vimora::records {

/// Writes `path` through a temporary file beside it that replaces it only when every byte was
/// written, flushed and synced; on any failure the temporary file is dropped and `path` is left
/// as it was. `write` returns false when it failed on its own. Returns the French reason of a
/// failure (naming the file), or nothing. New files get mode 0600: what we write is health data.
std::optional<QString> writeFileSafely(const QString& path, const std::function<bool(QIODevice&)>& write);

/// Copies what remains to be read of `source` into `path`, as writeFileSafely writes.
std::optional<QString> copyFileSafely(QIODevice& source, const QString& path);

} // namespace vimora::records
