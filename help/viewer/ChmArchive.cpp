#include "ChmArchive.h"

#include "HelpLimits.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>

#include <mspack.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

namespace vimora::help {

namespace {

// Entry codes of the "#SYSTEM" record written by help compilers.
constexpr quint16 kContentsFileCode = 0;
constexpr quint16 kIndexFileCode = 1;
constexpr quint16 kDefaultTopicCode = 2;
constexpr quint16 kTitleCode = 3;

// libmspack never needs more at once than a directory chunk or its decompression window; a
// larger request comes from a damaged file.
constexpr std::size_t kLargestAllocation = std::size_t{16} * 1024 * 1024;

// An extracted object, filled by libmspack through the file handle that names it.
struct Sink {
    QByteArray bytes;
    qsizetype capacity = 0;
};

// libmspack names files with opaque strings that only this system interprets: for reading, a
// pointer to the archive's bytes; for writing, a pointer to a Sink.
struct MemoryFile : mspack_file {
    const QByteArray* source = nullptr;
    Sink* sink = nullptr;
    qint64 position = 0;
};

MemoryFile* memoryFile(mspack_file* file) {
    return static_cast<MemoryFile*>(file);
}

mspack_file* openFile(mspack_system* /*system*/, const char* name, int mode) {
    if (mode == MSPACK_SYS_OPEN_READ)
        return new MemoryFile{{}, reinterpret_cast<const QByteArray*>(name), nullptr, 0};
    if (mode == MSPACK_SYS_OPEN_WRITE)
        return new MemoryFile{{}, nullptr, reinterpret_cast<Sink*>(const_cast<char*>(name)), 0};
    return nullptr;
}

void closeFile(mspack_file* file) {
    delete memoryFile(file);
}

int readFile(mspack_file* handle, void* buffer, int bytes) {
    MemoryFile* file = memoryFile(handle);
    if (file->source == nullptr || bytes < 0)
        return -1;
    const qint64 count = std::min<qint64>(bytes, file->source->size() - file->position);
    std::memcpy(buffer, file->source->constData() + file->position, static_cast<std::size_t>(count));
    file->position += count;
    return static_cast<int>(count);
}

int writeFile(mspack_file* handle, void* buffer, int bytes) {
    Sink* sink = memoryFile(handle)->sink;
    if (sink == nullptr || bytes < 0 || bytes > sink->capacity - sink->bytes.size())
        return -1;
    sink->bytes.append(static_cast<const char*>(buffer), bytes);
    return bytes;
}

int seekFile(mspack_file* handle, off_t offset, int mode) {
    MemoryFile* file = memoryFile(handle);
    const qint64 size = file->source != nullptr ? file->source->size() : file->sink->bytes.size();
    qint64 base = 0;
    if (mode == MSPACK_SYS_SEEK_CUR)
        base = file->position;
    else if (mode == MSPACK_SYS_SEEK_END)
        base = size;
    else if (mode != MSPACK_SYS_SEEK_START)
        return -1;
    if (offset < -base || offset > size - base)
        return -1;
    file->position = base + offset;
    return 0;
}

off_t tellFile(mspack_file* file) {
    return memoryFile(file)->position;
}

// libmspack's warnings are for a person at a terminal; the viewer reports failures itself.
void ignoreMessage(mspack_file* /*file*/, const char* /*format*/, ...) {}

void* allocate(mspack_system* /*system*/, std::size_t bytes) {
    return bytes <= kLargestAllocation ? std::malloc(bytes) : nullptr;
}

void release(void* memory) {
    std::free(memory);
}

void copyMemory(void* from, void* to, std::size_t bytes) {
    std::memcpy(to, from, bytes);
}

quint16 readWord(const QByteArray& bytes, qsizetype at) {
    return static_cast<quint16>(static_cast<unsigned char>(bytes[at]) |
                                static_cast<unsigned char>(bytes[at + 1]) << 8);
}

} // namespace

QUrl topicUrl(const QString& local) {
    QString path = local.trimmed();
    if (const qsizetype storage = path.lastIndexOf(QLatin1String("::")); storage >= 0)
        path = path.mid(storage + 2);
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!path.startsWith(QLatin1Char('/')))
        path.prepend(QLatin1Char('/'));

    QUrl url;
    url.setScheme(QLatin1String(kChmScheme));
    if (const qsizetype hash = path.indexOf(QLatin1Char('#')); hash >= 0) {
        url.setFragment(path.mid(hash + 1));
        path.truncate(hash);
    }
    url.setPath(path);
    return url;
}

QString objectPath(const QUrl& url) {
    if (url.scheme() != QLatin1String(kChmScheme))
        return {};
    return url.path(QUrl::FullyDecoded);
}

QString decodeStoredText(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

struct ChmArchive::Library {
    mspack_system system{openFile,      closeFile, readFile, writeFile,  seekFile, tellFile,
                         ignoreMessage, allocate,  release,  copyMemory, nullptr};
    // libmspack reads the file through its name, a pointer to these bytes.
    QByteArray bytes;
    mschm_decompressor* decompressor = nullptr;
    mschmd_header* header = nullptr;
    // The objects by their paths in lower case; they belong to the header.
    QHash<QString, mschmd_file*> objects;

    Library() = default;
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
    // The handles are closed here, before any member goes, whatever the order of the members.
    ~Library() {
        if (header != nullptr)
            decompressor->close(decompressor, header);
        if (decompressor != nullptr)
            mspack_destroy_chm_decompressor(decompressor);
    }
};

std::unique_ptr<ChmArchive> ChmArchive::open(const QByteArray& path, OpenFailure* failure) {
    const auto fail = [failure](OpenFailure why) {
        if (failure != nullptr)
            *failure = why;
        return nullptr;
    };
    QFile file(QFile::decodeName(path));
    // A directory, a FIFO or a device is no file to read; a FIFO would even block the reading.
    if (!QFileInfo(file).isFile())
        return fail(OpenFailure::Unreadable);
    if (file.size() > limits::kLargestFile)
        return fail(OpenFailure::TooLarge);
    if (!file.open(QIODevice::ReadOnly))
        return fail(OpenFailure::Unreadable);
    QByteArray bytes = file.read(limits::kLargestFile);
    if (file.error() != QFileDevice::NoError)
        return fail(OpenFailure::Unreadable);
    return fromBytes(std::move(bytes), failure);
}

std::unique_ptr<ChmArchive> ChmArchive::fromBytes(QByteArray bytes, OpenFailure* failure) {
    const auto fail = [failure](OpenFailure why) {
        if (failure != nullptr)
            *failure = why;
        return nullptr;
    };
    if (bytes.size() > limits::kLargestFile)
        return fail(OpenFailure::TooLarge);
    if (!bytes.startsWith("ITSF"))
        return fail(OpenFailure::NotHelpFile);
    int selfTest = MSPACK_ERR_OK;
    MSPACK_SYS_SELFTEST(selfTest);
    if (selfTest != MSPACK_ERR_OK)
        return fail(OpenFailure::Unreadable);
    std::unique_ptr<ChmArchive> archive(new ChmArchive);
    Library& library = *archive->m_library;
    library.bytes = std::move(bytes);
    library.decompressor = mspack_create_chm_decompressor(&library.system);
    if (library.decompressor == nullptr)
        return fail(OpenFailure::Unreadable);
    library.header =
        library.decompressor->open(library.decompressor, reinterpret_cast<const char*>(&library.bytes));
    if (library.header == nullptr)
        return fail(OpenFailure::Damaged);
    for (mschmd_file* object = library.header->files; object != nullptr; object = object->next) {
        const QString key = QString::fromUtf8(object->filename).toLower();
        if (!library.objects.contains(key))
            library.objects.insert(key, object);
    }
    if (!archive->readSystemRecord())
        return fail(OpenFailure::Damaged);
    return archive;
}

ChmArchive::ChmArchive()
    : m_library(std::make_unique<Library>()) {}

ChmArchive::~ChmArchive() = default;

QStringList ChmArchive::objectPaths() const {
    std::vector<const mschmd_file*> objects;
    for (const mschmd_file* object = m_library->header->files; object != nullptr; object = object->next)
        objects.push_back(object);
    // In the order of the stored data: read in that order, a compressed section is decompressed
    // once rather than from its start for every object.
    std::stable_sort(objects.begin(), objects.end(), [](const mschmd_file* a, const mschmd_file* b) {
        return std::pair{a->section->id, a->offset} < std::pair{b->section->id, b->offset};
    });
    QStringList paths;
    paths.reserve(static_cast<qsizetype>(objects.size()));
    for (const mschmd_file* object : objects)
        paths.append(QString::fromUtf8(object->filename));
    return paths;
}

bool ChmArchive::contains(const QString& path) const {
    return m_library->objects.contains(path.toLower());
}

std::optional<QByteArray> ChmArchive::read(const QString& path, ReadFailure* failure, qint64 largest) const {
    const auto fail = [failure](ReadFailure why) {
        if (failure != nullptr)
            *failure = why;
        return std::nullopt;
    };
    mschmd_file* object = m_library->objects.value(path.toLower());
    if (object == nullptr)
        return fail(ReadFailure::Missing);
    if (object->length < 0)
        return fail(ReadFailure::Damaged);
    if (object->length > std::min(largest, limits::kLargestObject))
        return fail(ReadFailure::TooLarge);
    Sink sink;
    sink.capacity = static_cast<qsizetype>(object->length);
    sink.bytes.reserve(sink.capacity);
    mschm_decompressor* decompressor = m_library->decompressor;
    if (decompressor->extract(decompressor, object, reinterpret_cast<const char*>(&sink)) != MSPACK_ERR_OK ||
        sink.bytes.size() != sink.capacity)
        return fail(ReadFailure::Damaged);
    return std::move(sink.bytes);
}

bool ChmArchive::readSystemRecord() {
    ReadFailure failure = ReadFailure::Missing;
    const std::optional<QByteArray> record = read(QStringLiteral("/#SYSTEM"), &failure);
    if (!record)
        return failure == ReadFailure::Missing;
    // A 32-bit version, then entries of a 16-bit code, a 16-bit length and that many bytes.
    qsizetype at = 4;
    while (at + 4 <= record->size()) {
        const quint16 code = readWord(*record, at);
        const quint16 length = readWord(*record, at + 2);
        at += 4;
        if (at + length > record->size())
            break;
        QByteArray value = record->mid(at, length);
        at += length;
        if (const qsizetype end = value.indexOf('\0'); end >= 0)
            value.truncate(end);
        const QString text = decodeStoredText(value).trimmed();
        switch (code) {
        case kContentsFileCode:
            m_contentsFile = text.isEmpty() ? QString() : objectPath(topicUrl(text));
            break;
        case kIndexFileCode:
            m_indexFile = text.isEmpty() ? QString() : objectPath(topicUrl(text));
            break;
        case kDefaultTopicCode:
            m_defaultTopic = text.isEmpty() ? QUrl() : topicUrl(text);
            break;
        case kTitleCode:
            m_title = text;
            break;
        default:
            break;
        }
    }
    return true;
}

} // namespace vimora::help
