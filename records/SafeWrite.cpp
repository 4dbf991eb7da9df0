#include "SafeWrite.h"

#include "WholeFile.h"

namespace vimora::records {

std::optional<QString> writeFileSafely(const QString& path, const std::function<bool(QIODevice&)>& write) {
    if (const std::optional<platform::WriteFailure> failure = platform::writeWholeFile(path, write))
        return failure->message(path);
    return std::nullopt;
}

std::optional<QString> copyFileSafely(QIODevice& source, const QString& path) {
    return writeFileSafely(path, [&](QIODevice& out) {
        constexpr qint64 kChunk = qint64(1) << 20;
        while (!source.atEnd()) {
            const QByteArray bytes = source.read(kChunk);
            if (bytes.isEmpty() || out.write(bytes) != bytes.size())
                return false;
        }
        return true;
    });
}

} // namespace vimora::records
