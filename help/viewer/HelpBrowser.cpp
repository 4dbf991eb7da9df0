#include "HelpBrowser.h"

#include <QDesktopServices>
#include <QTextDocument>

namespace vimora::help {

namespace {

// The page shown in place of a topic that cannot be read, saying why.
QString unreadableTopicPage(const QString& path, ReadFailure failure) {
    QString title;
    QString text;
    switch (failure) {
    case ReadFailure::Missing:
        title = QStringLiteral("Rubrique introuvable");
        text = QStringLiteral("La rubrique %1 ne se trouve pas dans ce fichier d'aide.");
        break;
    case ReadFailure::TooLarge:
        title = QStringLiteral("Rubrique trop volumineuse");
        text = QStringLiteral("La rubrique %1 est trop volumineuse pour être affichée : elle dépasse %2 Mo.")
                   .arg(QStringLiteral("%1"),
                        QString::number(ChmArchive::kLargestObject / (qint64{1024} * 1024)));
        break;
    case ReadFailure::Damaged:
        title = QStringLiteral("Rubrique illisible");
        text = QStringLiteral("La rubrique %1 ne peut pas être lue : ce fichier d'aide est endommagé.");
        break;
    }
    return QStringLiteral("<html><head><title>%1</title></head><body><h1>%1</h1><p>%2</p></body></html>")
        .arg(title, text.arg(QStringLiteral("«\u00A0%1\u00A0»").arg(path.toHtmlEscaped())));
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
    ReadFailure failure = ReadFailure::Missing;
    if (std::optional<QByteArray> bytes = m_archive->read(path, &failure))
        return *bytes;
    if (type == QTextDocument::HtmlResource)
        return unreadableTopicPage(path, failure);
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
