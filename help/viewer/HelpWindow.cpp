#include "HelpWindow.h"

#include "HelpBrowser.h"

#include <QAction>
#include <QHeaderView>
#include <QSplitter>
#include <QStyle>
#include <QToolBar>
#include <QTreeWidget>

namespace vimora::help {

namespace {

constexpr int kTopicRole = Qt::UserRole;

bool sameTopic(const QUrl& a, const QUrl& b) {
    return objectPath(a).compare(objectPath(b), Qt::CaseInsensitive) == 0;
}

const ContentsEntry* firstPage(const std::vector<ContentsEntry>& entries, const ChmArchive& archive) {
    for (const ContentsEntry& entry : entries) {
        if (!entry.topic.isEmpty() && archive.contains(objectPath(entry.topic)))
            return &entry;
        if (const ContentsEntry* page = firstPage(entry.children, archive))
            return page;
    }
    return nullptr;
}

} // namespace

std::vector<ContentsEntry> readContents(const ChmArchive& archive) {
    const std::optional<QByteArray> file = archive.read(archive.contentsFile());
    return file ? parseContents(decodeStoredText(*file)) : std::vector<ContentsEntry>{};
}

QUrl firstTopic(const ChmArchive& archive, const std::vector<ContentsEntry>& contents) {
    if (archive.contains(objectPath(archive.defaultTopic())))
        return archive.defaultTopic();
    const ContentsEntry* page = firstPage(contents, archive);
    return page != nullptr ? page->topic : QUrl();
}

HelpWindow::HelpWindow(std::unique_ptr<ChmArchive> archive, const QUrl& home, const QString& fileKey,
                       QWidget* owner)
    : QMainWindow(owner, Qt::Window)
    , m_fileKey(fileKey) {
    setAttribute(Qt::WA_DeleteOnClose);
    // A help window never keeps the program running once its main window has closed.
    setAttribute(Qt::WA_QuitOnClose, false);
    const std::vector<ContentsEntry> contents = readContents(*archive);
    const QString title = archive->title();
    setWindowTitle(title.isEmpty() ? fileKey.section(QLatin1Char('/'), -1) : title);
    setWindowIcon(style()->standardIcon(QStyle::SP_MessageBoxQuestion));

    auto* splitter = new QSplitter(this);
    m_contents = new QTreeWidget(splitter);
    m_contents->setObjectName(QStringLiteral("contents"));
    m_contents->setHeaderHidden(true);
    m_contents->setAccessibleName(QStringLiteral("Sommaire"));
    m_browser = new HelpBrowser(std::move(archive), splitter);
    m_browser->setObjectName(QStringLiteral("page"));
    m_browser->setAccessibleName(QStringLiteral("Rubrique"));
    splitter->addWidget(m_contents);
    splitter->addWidget(m_browser);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({290, 750});
    setCentralWidget(splitter);

    auto* tools = addToolBar(QStringLiteral("Navigation"));
    tools->setObjectName(QStringLiteral("navigation"));
    tools->setMovable(false);
    tools->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    QAction* back = tools->addAction(style()->standardIcon(QStyle::SP_ArrowBack), QStringLiteral("Précédent"),
                                     m_browser, &QTextBrowser::backward);
    back->setObjectName(QStringLiteral("back"));
    back->setShortcut(QKeySequence::Back);
    back->setEnabled(false);
    QAction* forward = tools->addAction(style()->standardIcon(QStyle::SP_ArrowForward),
                                        QStringLiteral("Suivant"), m_browser, &QTextBrowser::forward);
    forward->setObjectName(QStringLiteral("forward"));
    forward->setShortcut(QKeySequence::Forward);
    forward->setEnabled(false);
    QAction* homeAction =
        tools->addAction(style()->standardIcon(QStyle::SP_DirHomeIcon), QStringLiteral("Accueil"), m_browser,
                         [this, home] { m_browser->setSource(home); });
    homeAction->setObjectName(QStringLiteral("home"));
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);

    addContents(contents, nullptr);
    connect(m_contents, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { showContentsTopic(item); });
    connect(m_contents, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { showContentsTopic(item); });
    connect(m_browser, &QTextBrowser::sourceChanged, this,
            [this](const QUrl& url) { selectContentsEntry(url); });

    resize(1040, 700);
    m_browser->setSource(home);
}

void HelpWindow::addContents(const std::vector<ContentsEntry>& entries, QTreeWidgetItem* parent) {
    for (const ContentsEntry& entry : entries) {
        auto* item = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_contents);
        item->setText(0, entry.name);
        item->setData(0, kTopicRole, entry.topic);
        item->setIcon(
            0, style()->standardIcon(entry.children.empty() ? QStyle::SP_FileIcon : QStyle::SP_DirIcon));
        addContents(entry.children, item);
        item->setExpanded(parent == nullptr);
    }
}

void HelpWindow::showContentsTopic(QTreeWidgetItem* item) {
    if (item == nullptr || m_selectingEntry)
        return;
    const QUrl topic = item->data(0, kTopicRole).toUrl();
    if (!topic.isEmpty() && topic != m_browser->source())
        m_browser->setSource(topic);
}

void HelpWindow::selectContentsEntry(const QUrl& url) {
    QTreeWidgetItem* entry = nullptr;
    for (QTreeWidgetItemIterator it(m_contents); *it != nullptr && entry == nullptr; ++it) {
        if (sameTopic((*it)->data(0, kTopicRole).toUrl(), url))
            entry = *it;
    }
    // A page that the contents do not list leaves no entry selected.
    m_selectingEntry = true;
    m_contents->setCurrentItem(entry);
    m_selectingEntry = false;
}

} // namespace vimora::help
