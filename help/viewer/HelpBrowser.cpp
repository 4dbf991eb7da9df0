#include "HelpBrowser.h"

#include <QDesktopServices>
#include <QTextDocument>

namespace vimora::help {

namespace {

QString missingTopicPage(const QString& path) {
    return QStringLiteral("<html><head><title>Rubrique introuvable</title></head><body>"
                          "<h1>Rubrique introuvable</h1>"
                          "<p>La rubrique «\u00A0%1\u00A0» ne se trouve pas dans ce fichier d'aide.</p>"
                          "</body></html>")
        .arg(path.toHtmlEscaped());
}

} // namespace

HelpBrowser::HelpBrowser(std::unique_ptr<ChmArchive> archive, QWidget* parent)
    : QTextBrowser(parent)
    , m_archive(std::move(archive)) {
    // Links are followed here: QTextBrowser would hand every link of a page with a custom
    // scheme to the desktop.
    setOpenLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, &HelpBrowser::followLink);
}

QVariant HelpBrowser::loadResource(int type, const QUrl& name) {
    const QUrl url = name.isRelative() ? source().resolved(name) : name;
    const QString path = objectPath(url);
    if (path.isEmpty())
        return {};
    if (std::optional<QByteArray> bytes = m_archive->read(path))
        return *bytes;
    if (type == QTextDocument::HtmlResource)
        return missingTopicPage(path);
    return {};
}

void HelpBrowser::followLink(const QUrl& url) {
    if (url.scheme() == QLatin1String(kChmScheme))
        setSource(url);
    else if (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https") ||
             url.scheme() == QLatin1String("mailto"))
        QDesktopServices::openUrl(url);
}

} // namespace vimora::help
