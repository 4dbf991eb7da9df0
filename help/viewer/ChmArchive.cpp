#include "ChmArchive.h"

#include <chm_lib.h>

#include <QStringDecoder>

namespace vimora::help {

namespace {

// Larger objects are not help pages; refusing them keeps a damaged file from exhausting memory.
constexpr LONGUINT64 kLargestObject = 64 * 1024 * 1024;

// Entry codes of the "#SYSTEM" record written by help compilers.
constexpr quint16 kContentsFileCode = 0;
constexpr quint16 kDefaultTopicCode = 2;
constexpr quint16 kTitleCode = 3;

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

std::unique_ptr<ChmArchive> ChmArchive::open(const QByteArray& path) {
    chmFile* file = chm_open(path.constData());
    if (file == nullptr)
        return nullptr;
    std::unique_ptr<ChmArchive> archive(new ChmArchive(file));
    archive->readSystemRecord();
    return archive;
}

ChmArchive::ChmArchive(chmFile* file)
    : m_file(file) {}

ChmArchive::~ChmArchive() {
    chm_close(m_file);
}

bool ChmArchive::contains(const QString& path) const {
    chmUnitInfo unit{};
    return !path.isEmpty() &&
           chm_resolve_object(m_file, path.toUtf8().constData(), &unit) == CHM_RESOLVE_SUCCESS;
}

std::optional<QByteArray> ChmArchive::read(const QString& path) const {
    chmUnitInfo unit{};
    if (path.isEmpty() || chm_resolve_object(m_file, path.toUtf8().constData(), &unit) != CHM_RESOLVE_SUCCESS)
        return std::nullopt;
    if (unit.length > kLargestObject)
        return std::nullopt;
    QByteArray bytes(static_cast<qsizetype>(unit.length), Qt::Uninitialized);
    if (unit.length == 0)
        return bytes;
    const LONGINT64 got = chm_retrieve_object(m_file, &unit, reinterpret_cast<unsigned char*>(bytes.data()),
                                              0, static_cast<LONGINT64>(unit.length));
    if (got != static_cast<LONGINT64>(unit.length))
        return std::nullopt;
    return bytes;
}

void ChmArchive::readSystemRecord() {
    const std::optional<QByteArray> record = read(QStringLiteral("/#SYSTEM"));
    if (!record)
        return;
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
}

} // namespace vimora::help
