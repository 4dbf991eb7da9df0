#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <memory>
#include <optional>

struct mschm_decompressor;
struct mschmd_file;
struct mschmd_header;
struct mspack_system;

// The help viewer engine reads compiled help files (.chm) with libmspack, from a copy held in
// memory. Pages are addressed by URLs of the "chm" scheme whose path is the object's path inside
// the file ("chm:/index.htm"), so that relative links and images resolve like on a web server.
namespace vimora::help {

inline constexpr const char* kChmScheme = "chm";

/// The URL of a topic named as in a contents file or a project ("index.htm", "/a/b.htm#part",
/// "mk:@MSITStore:file.chm::/index.htm").
QUrl topicUrl(const QString& local);

/// The object path inside the file for a "chm" URL ("/index.htm"), empty for any other URL.
QString objectPath(const QUrl& url);

/// Text stored by a help compiler: UTF-8 when it is valid UTF-8, Latin-1 otherwise.
QString decodeStoredText(const QByteArray& bytes);

/// Why an object could not be read.
enum class ReadFailure { Missing, TooLarge, Damaged };

/// A compiled help file opened read-only.
class ChmArchive {
public:
    /// Objects larger than this are not help pages: a damaged file cannot exhaust memory.
    static constexpr qint64 kLargestObject = qint64{64} * 1024 * 1024;
    /// Larger files are not read at all.
    static constexpr qint64 kLargestFile = qint64{256} * 1024 * 1024;

    /// Opens the file; null when it cannot be read, is not a compiled help file, or its
    /// system record is damaged.
    static std::unique_ptr<ChmArchive> open(const QByteArray& path);
    /// The same, for a file already in memory.
    static std::unique_ptr<ChmArchive> fromBytes(QByteArray bytes);

    ~ChmArchive();
    ChmArchive(const ChmArchive&) = delete;
    ChmArchive& operator=(const ChmArchive&) = delete;

    /// The absolute paths of every object the file holds, in the order of their data: the
    /// fastest order to read them all.
    QStringList objectPaths() const;

    /// Whether the file holds an object at that absolute path.
    bool contains(const QString& path) const;

    /// The whole object at an absolute path ("/index.htm"); nothing, and why, when it cannot be
    /// read. Paths are compared without case.
    std::optional<QByteArray> read(const QString& path, ReadFailure* failure = nullptr) const;

    /// From the file's system record; empty when the file does not name one.
    const QString& title() const { return m_title; }
    const QUrl& defaultTopic() const { return m_defaultTopic; }
    const QString& contentsFile() const { return m_contentsFile; }
    const QString& indexFile() const { return m_indexFile; }

private:
    struct Library;

    explicit ChmArchive(QByteArray bytes);
    bool readSystemRecord();

    QByteArray m_bytes;
    std::unique_ptr<Library> m_library;
    QHash<QString, mschmd_file*> m_objects;
    QString m_title;
    QUrl m_defaultTopic;
    QString m_contentsFile;
    QString m_indexFile;
};

} // namespace vimora::help
