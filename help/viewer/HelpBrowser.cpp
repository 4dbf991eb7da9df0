#include "HelpBrowser.h"

#include "HelpLimits.h"
#include "PageCost.h"

#include <QDesktopServices>
#include <QLocale>
#include <QTextDocument>

namespace vimora::help {

namespace {

// The page shown in place of a topic that is not shown, saying why; `text` has %1 for the topic.
QString pageInstead(const QString& path, const QString& title, const QString& text) {
    return QStringLiteral("<html><head><title>%1</title></head><body><h1>%1</h1><p>%2</p></body></html>")
        .arg(title, text.arg(QStringLiteral("«\u00A0%1\u00A0»").arg(path.toHtmlEscaped())));
}

QString unreadableTopicPage(const QString& path, ReadFailure failure) {
    switch (failure) {
    case ReadFailure::Missing:
        return pageInstead(path, QStringLiteral("Rubrique introuvable"),
                           QStringLiteral("La rubrique %1 ne se trouve pas dans ce fichier d'aide."));
    case ReadFailure::TooLarge:
        return pageInstead(
            path, QStringLiteral("Rubrique trop volumineuse"),
            QStringLiteral("La rubrique %1 est trop volumineuse pour être affichée : elle dépasse "
                           "%2 Mo.")
                .arg(QStringLiteral("%1"), QString::number(limits::kLargestPage / (qint64{1024} * 1024))));
    case ReadFailure::Damaged:
        break;
    }
    return pageInstead(
        path, QStringLiteral("Rubrique illisible"),
        QStringLiteral("La rubrique %1 ne peut pas être lue : ce fichier d'aide est endommagé."));
}

QString excessivePage(const QString& path, PageExcess excess) {
    const QLocale french(QLocale::French);
    QString why;
    switch (excess) {
    case PageExcess::TooManyElements:
        why =
            QStringLiteral("elle compte plus de %1 éléments").arg(french.toString(limits::kMostPageElements));
        break;
    case PageExcess::TooDeep:
        why = QStringLiteral("ses éléments sont imbriqués sur plus de %1 niveaux")
                  .arg(limits::kDeepestPageNesting);
        break;
    case PageExcess::TablesTooDeep:
    case PageExcess::None:
        why = QStringLiteral("ses tableaux sont imbriqués sur plus de %1 niveaux")
                  .arg(limits::kDeepestTableNesting);
        break;
    }
    return pageInstead(
        path, QStringLiteral("Rubrique trop complexe"),
        QStringLiteral("La rubrique %1 ne peut pas être affichée : %2.").arg(QStringLiteral("%1"), why));
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
    const bool page = type == QTextDocument::HtmlResource;
    ReadFailure failure = ReadFailure::Missing;
    std::optional<QByteArray> bytes =
        m_archive->read(path, &failure, page ? limits::kLargestPage : limits::kLargestObject);
    if (!page)
        return bytes ? QVariant(*bytes) : QVariant();
    if (!bytes)
        return unreadableTopicPage(path, failure);
    // The text document would build a page of any cost, on the thread of the whole program.
    if (const PageExcess excess = measurePage(*bytes); excess != PageExcess::None)
        return excessivePage(path, excess);
    if (bytes->trimmed().isEmpty())
        return pageInstead(path, QStringLiteral("Rubrique vide"), QStringLiteral("La rubrique %1 est vide."));
    return *bytes;
}

void HelpBrowser::followLink(const QUrl& url) {
    if (url.scheme() == QLatin1String(kChmScheme))
        setSource(url);
    else if (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https") ||
             url.scheme() == QLatin1String("mailto"))
        QDesktopServices::openUrl(url);
}

} // namespace vimora::help
