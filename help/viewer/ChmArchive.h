#pragma once

#include "HelpLimits.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <memory>
#include <optional>

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

/// Why a help file could not be opened.
enum class OpenFailure {
    Unreadable,  ///< no regular file, or the system refused to open or read it
    TooLarge,    ///< larger than limits::kLargestFile
    NotHelpFile, ///< no compiled help file's signature
    Damaged,     ///< the signature of one, but its header, directory or system record is broken
};

/// Why an object could not be read.
enum class ReadFailure { Missing, TooLarge, Damaged };

/// A compiled help file opened read-only.
class ChmArchive {
public:
    /// Opens the file; null, and why, when it cannot be opened.
    static std::unique_ptr<ChmArchive> open(const QByteArray& path, OpenFailure* failure = nullptr);
    /// The same, for a file already in memory.
    static std::unique_ptr<ChmArchive> fromBytes(QByteArray bytes, OpenFailure* failure = nullptr);

    ~ChmArchive();
    ChmArchive(const ChmArchive&) = delete;
    ChmArchive& operator=(const ChmArchive&) = delete;

    /// The absolute paths of every object the file holds, in the order of their data: the
    /// fastest order to read them all.
    QStringList objectPaths() const;

    /// Whether the file holds an object at that absolute path.
    bool contains(const QString& path) const;

    /// The whole object at an absolute path ("/index.htm"), of at most `largest` bytes; nothing,
    /// and why, when it cannot be read. Paths are compared without case.
    std::optional<QByteArray> read(const QString& path, ReadFailure* failure = nullptr,
                                   qint64 largest = limits::kLargestObject) const;

    /// From the file's system record; empty when the file does not name one.
    const QString& title() const { return m_title; }
    const QUrl& defaultTopic() const { return m_defaultTopic; }
    const QString& contentsFile() const { return m_contentsFile; }
    const QString& indexFile() const { return m_indexFile; }

private:
    // The file's bytes with libmspack's handles on them, released together in one place.
    struct Library;

    ChmArchive();
    bool readSystemRecord();

    std::unique_ptr<Library> m_library;
    QString m_title;
    QUrl m_defaultTopic;
    QString m_contentsFile;
    QString m_indexFile;
};

} // namespace vimora::help
