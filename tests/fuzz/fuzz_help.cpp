// The help viewer's whole reading path on arbitrary bytes: the archive and its system record,
// the contents file, the first topic and every page the contents name. Input that is no help
// file is read as a contents file, so that the parser sees text as well.

#include "help/viewer/ChmArchive.h"
#include "help/viewer/Contents.h"

#include <cstdint>
#include <cstdlib>

using namespace vimora::help;

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

void readTopic(const ChmArchive& archive, const QUrl& topic) {
    ReadFailure failure = ReadFailure::Missing;
    const std::optional<QByteArray> bytes = archive.read(objectPath(topic), &failure);
    check(bytes.has_value() || !archive.contains(objectPath(topic)) || failure != ReadFailure::Missing);
    check(!bytes || bytes->size() <= limits::kLargestObject);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::unique_ptr<ChmArchive> archive = ChmArchive::fromBytes(bytes);
    if (!archive) {
        const std::vector<ContentsEntry> contents = parseContents(decodeStoredText(bytes));
        walkContents(contents, [](const ContentsEntry& entry, std::size_t) {
            check(!entry.name.isEmpty() || !entry.topic.isEmpty());
            return true;
        });
        return 0;
    }
    const std::optional<std::vector<ContentsEntry>> contents = readContents(*archive);
    if (!contents)
        return 0;
    const QUrl home = firstTopic(*archive, *contents);
    check(home.isEmpty() || archive->contains(objectPath(home)));
    readTopic(*archive, home);
    walkContents(*contents, [&archive](const ContentsEntry& entry, std::size_t) {
        readTopic(*archive, entry.topic);
        return true;
    });
    return 0;
}
