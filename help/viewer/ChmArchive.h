#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <memory>
#include <optional>

struct chmFile;

// The help viewer engine reads compiled help files (.chm) with chmlib. Pages are addressed by
// URLs of the "chm" scheme whose path is the object's path inside the file ("chm:/index.htm"),
// so that relative links and images resolve like on a web server.
namespace vimora::help {

inline constexpr const char* kChmScheme = "chm";

/// The URL of a topic named as in a contents file or a project ("index.htm", "/a/b.htm#part",
/// "mk:@MSITStore:file.chm::/index.htm").
QUrl topicUrl(const QString& local);

/// The object path inside the file for a "chm" URL ("/index.htm"), empty for any other URL.
QString objectPath(const QUrl& url);

/// Text stored by a help compiler: UTF-8 when it is valid UTF-8, Latin-1 otherwise.
QString decodeStoredText(const QByteArray& bytes);

/// A compiled help file opened read-only.
class ChmArchive {
public:
    /// Opens the file; null when it cannot be read or is not a compiled help file.
    static std::unique_ptr<ChmArchive> open(const QByteArray& path);

    ~ChmArchive();
    ChmArchive(const ChmArchive&) = delete;
    ChmArchive& operator=(const ChmArchive&) = delete;

    /// Whether the file holds an object at that absolute path.
    bool contains(const QString& path) const;

    /// The whole object at an absolute path ("/index.htm"), or nothing when there is none.
    std::optional<QByteArray> read(const QString& path) const;

    /// From the file's system record; empty when the file does not name one.
    const QString& title() const { return m_title; }
    const QUrl& defaultTopic() const { return m_defaultTopic; }
    const QString& contentsFile() const { return m_contentsFile; }

private:
    explicit ChmArchive(chmFile* file);
    void readSystemRecord();

    chmFile* m_file;
    QString m_title;
    QUrl m_defaultTopic;
    QString m_contentsFile;
};

} // namespace vimora::help
