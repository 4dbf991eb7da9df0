#include "HelpWindow.h"

#include "FindBar.h"
#include "HelpBrowser.h"
#include "HelpLimits.h"
#include "IndexPane.h"
#include "PageFinder.h"
#include "SearchPane.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPrintDialog>
#include <QPrinter>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTextDocument>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

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
    m_tabs = new QTabWidget(splitter);
    m_tabs->setObjectName(QStringLiteral("tabs"));
    m_contents = new QTreeWidget(m_tabs);
    m_contents->setObjectName(QStringLiteral("contents"));
    m_contents->setHeaderHidden(true);
    m_contents->setAccessibleName(QStringLiteral("Sommaire"));
    auto* pageSide = new QWidget(splitter);
    m_browser = new HelpBrowser(std::move(archive), pageSide);
    m_browser->setObjectName(QStringLiteral("page"));
    m_browser->setAccessibleName(QStringLiteral("Rubrique"));
    m_finder = new PageFinder(m_browser);
    m_findBar = new FindBar(m_finder, pageSide);
    m_findBar->setObjectName(QStringLiteral("findBar"));
    m_findBar->hide();
    auto* pageLayout = new QVBoxLayout(pageSide);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    pageLayout->setSpacing(0);
    pageLayout->addWidget(m_browser, 1);
    pageLayout->addWidget(m_findBar);
    addTabs(m_browser->archive());
    splitter->addWidget(m_tabs);
    splitter->addWidget(pageSide);
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
    addPageActions(tools);

    addContents(contents, contentsCut);
    connect(m_contents, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { showContentsTopic(item); });
    connect(m_contents, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { showContentsTopic(item); });
    connect(m_browser, &QTextBrowser::sourceChanged, this, [this](const QUrl& url) {
        selectContentsEntry(url);
        pageShown(url);
    });

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

void HelpWindow::addTabs(const ChmArchive& archive) {
    m_index = new IndexPane(archive, m_tabs);
    m_index->setObjectName(QStringLiteral("indexPane"));
    m_search = new SearchPane(archive, m_tabs);
    m_search->setObjectName(QStringLiteral("searchPane"));
    m_tabs->addTab(m_contents, QStringLiteral("&Sommaire"));
    m_tabs->addTab(m_index, QStringLiteral("&Index"));
    m_tabs->addTab(m_search, QStringLiteral("&Rechercher"));
    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int tab) {
        if (tab == m_tabs->indexOf(m_index))
            m_index->focusKeyword();
        else if (tab == m_tabs->indexOf(m_search))
            m_search->focusWords();
    });
    connect(m_index, &IndexPane::topicChosen, this, [this](const QUrl& topic) { showTopic(topic, {}); });
    connect(m_search, &SearchPane::topicChosen, this, &HelpWindow::showTopic);
}

void HelpWindow::addPageActions(QToolBar* tools) {
    QAction* find = tools->addAction(style()->standardIcon(QStyle::SP_FileDialogContentsView),
                                     QStringLiteral("Rechercher dans la page"), m_findBar, &FindBar::open);
    find->setObjectName(QStringLiteral("findInPage"));
    find->setShortcut(QKeySequence::Find);
    find->setToolTip(QStringLiteral("Rechercher dans la page (Ctrl+F)"));
    QAction* print = tools->addAction(style()->standardIcon(QStyle::SP_DialogSaveButton),
                                      QStringLiteral("Imprimer..."), this, &HelpWindow::printPage);
    print->setObjectName(QStringLiteral("print"));
    print->setShortcut(QKeySequence::Print);
    print->setToolTip(QStringLiteral("Imprimer la rubrique (Ctrl+P)"));

    const auto addKey = [this](const char* name, const QList<QKeySequence>& keys, auto slot) {
        auto* action = new QAction(this);
        action->setObjectName(QLatin1String(name));
        action->setShortcuts(keys);
        connect(action, &QAction::triggered, this, slot);
        addAction(action);
    };
    addKey("findNext", {QKeySequence::FindNext}, [this] { m_finder->next(); });
    addKey("findPrevious", {QKeySequence::FindPrevious}, [this] { m_finder->previous(); });
    addKey("nextTab", {QKeySequence(Qt::CTRL | Qt::Key_Tab)}, [this] { switchTab(1); });
    addKey("previousTab",
           {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab),
            QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab)},
           [this] { switchTab(-1); });
    connect(m_findBar, &FindBar::closed, this, [this] {
        m_searchTopic.clear();
        m_browser->setFocus(Qt::OtherFocusReason);
    });
}

void HelpWindow::switchTab(int step) {
    m_tabs->setCurrentIndex((m_tabs->currentIndex() + step + m_tabs->count()) % m_tabs->count());
    if (m_tabs->currentWidget() == m_contents)
        m_contents->setFocus(Qt::TabFocusReason);
}

void HelpWindow::showTopic(const QUrl& topic, const QStringList& words) {
    m_searchTopic = words.isEmpty() ? QUrl() : topic;
    m_searchWords = words;
    if (sameTopic(topic, m_browser->source()))
        pageShown(m_browser->source());
    else
        m_browser->setSource(topic);
}

void HelpWindow::pageShown(const QUrl& url) {
    if (!m_searchTopic.isEmpty() && sameTopic(url, m_searchTopic))
        m_finder->findWords(m_searchWords);
    else if (m_findBar->isVisible())
        m_finder->pageChanged();
    else
        m_finder->clear();
}

void HelpWindow::printPage() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(m_browser->documentTitle());
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("Imprimer la rubrique"));
    if (dialog.exec() == QDialog::Accepted)
        m_browser->document()->print(&printer);
}

} // namespace vimora::help
