#include "HelpWindow.h"

#include "HelpBrowser.h"
#include "HelpLimits.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QTreeWidget>

#include <algorithm>
#include <utility>

namespace vimora::help {

namespace {

constexpr int kTopicRole = Qt::UserRole;

bool sameTopic(const QUrl& a, const QUrl& b) {
    return objectPath(a).compare(objectPath(b), Qt::CaseInsensitive) == 0;
}

} // namespace

HelpWindow::HelpWindow(std::unique_ptr<ChmArchive> archive, const std::vector<ContentsEntry>& contents,
                       bool contentsCut, QUrl home, QString fileKey, QWidget* owner)
    : QMainWindow(owner, Qt::Window)
    , m_fileKey(std::move(fileKey))
    , m_home(std::move(home)) {
    setAttribute(Qt::WA_DeleteOnClose);
    // A help window never keeps the program running once its main window has closed.
    setAttribute(Qt::WA_QuitOnClose, false);
    const QString title = archive->title();
    setWindowTitle(title.isEmpty() ? m_fileKey.section(QLatin1Char('/'), -1) : title);
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
    QAction* homeAction = tools->addAction(style()->standardIcon(QStyle::SP_DirHomeIcon),
                                           QStringLiteral("Accueil"), m_browser, [this] { showHome(); });
    homeAction->setObjectName(QStringLiteral("home"));
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);

    addContents(contents, contentsCut);
    connect(m_contents, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { showContentsTopic(item); });
    connect(m_contents, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { showContentsTopic(item); });
    connect(m_browser, &QTextBrowser::sourceChanged, this,
            [this](const QUrl& url) { selectContentsEntry(url); });

    resize(1040, 700);
    showHome();
}

void HelpWindow::showHome() {
    m_browser->setSource(m_home);
}

HelpWindow::~HelpWindow() {
    // All items at once, while the window that hears the tree's signals is still whole.
    m_contents->clear();
}

void HelpWindow::addContents(const std::vector<ContentsEntry>& contents, bool cut) {
    const QIcon book = style()->standardIcon(QStyle::SP_DirIcon);
    const QIcon page = style()->standardIcon(QStyle::SP_FileIcon);
    // Built apart from the view and added in one call, so that adding an item costs the same
    // at any depth and the view lays itself out once.
    QList<QTreeWidgetItem*> topLevel;
    std::vector<QTreeWidgetItem*> parents;
    bool flattened = false;
    walkContents(contents, [&](const ContentsEntry& entry, std::size_t depth) {
        auto* item = new QTreeWidgetItem;
        item->setText(0, entry.name);
        item->setData(0, kTopicRole, entry.topic);
        item->setIcon(0, entry.children.empty() ? page : book);
        flattened |= depth >= limits::kDeepestContentsLevel;
        depth = std::min(depth, limits::kDeepestContentsLevel - 1);
        parents.resize(depth);
        if (depth == 0)
            topLevel.append(item);
        else
            parents.back()->addChild(item);
        parents.push_back(item);
        return true;
    });
    m_contents->addTopLevelItems(topLevel);
    m_contents->expandToDepth(0);
    QStringList notes;
    if (flattened)
        notes << QStringLiteral(
                     "Le sommaire compte plus de %1 niveaux imbriqués : les rubriques plus profondes "
                     "sont présentées au %1e niveau.")
                     .arg(limits::kDeepestContentsLevel);
    if (cut)
        notes << QStringLiteral(
                     "Le sommaire compte plus de %1 entrées : seules les %1 premières sont présentées.")
                     .arg(QLocale(QLocale::French).toString(qulonglong{limits::kMostContentsEntries}));
    if (!notes.isEmpty()) {
        // A widget rather than a message, which the status tips of the tool bar would replace.
        auto* note = new QLabel(notes.join(QLatin1Char(' ')), this);
        note->setObjectName(QStringLiteral("contentsNote"));
        statusBar()->addWidget(note, 1);
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
