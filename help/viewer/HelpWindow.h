#pragma once

#include "ChmArchive.h"
#include "Contents.h"

#include <QMainWindow>

#include <memory>

class QTabWidget;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace vimora::help {

class FindBar;
class HelpBrowser;
class IndexPane;
class PageFinder;
class SearchPane;

/// The viewer window of one help file: its title; beside the page, the table of contents, the
/// keyword index and the full-text search on tabs; under the page, a find bar; and Back,
/// Forward, Home, Find and Print on a tool bar.
class HelpWindow : public QMainWindow {
    Q_OBJECT

public:
    /// A top-level window when owner is null, else a window of its own that the owner keeps
    /// in front of it. `contentsCut` says that the file's contents had more entries than these.
    HelpWindow(std::unique_ptr<ChmArchive> archive, const std::vector<ContentsEntry>& contents,
               bool contentsCut, QUrl home, QString fileKey, QWidget* owner);
    ~HelpWindow() override;
    HelpWindow(const HelpWindow&) = delete;
    HelpWindow& operator=(const HelpWindow&) = delete;

    /// The help file this window shows, as the engine identifies it.
    const QString& fileKey() const { return m_fileKey; }

    /// Shows the topic the window opened on.
    void showHome();

private:
    void addContents(const std::vector<ContentsEntry>& contents, bool cut);
    void showContentsTopic(QTreeWidgetItem* item);
    void selectContentsEntry(const QUrl& url);
    void addTabs(const ChmArchive& archive);
    void addPageActions(QToolBar* tools);
    void switchTab(int step);
    void showTopic(const QUrl& topic, const QStringList& words);
    void pageShown(const QUrl& url);
    void printPage();

    QString m_fileKey;
    QUrl m_home;
    HelpBrowser* m_browser;
    QTreeWidget* m_contents;
    QTabWidget* m_tabs = nullptr;
    IndexPane* m_index = nullptr;
    SearchPane* m_search = nullptr;
    PageFinder* m_finder = nullptr;
    FindBar* m_findBar = nullptr;
    // The page opened from the search results, whose words stay highlighted while it is shown.
    QUrl m_searchTopic;
    QStringList m_searchWords;
    bool m_selectingEntry = false;
};

} // namespace vimora::help
