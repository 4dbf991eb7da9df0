#pragma once

#include "ChmArchive.h"
#include "Contents.h"

#include <QMainWindow>

#include <memory>

class QTreeWidget;
class QTreeWidgetItem;

namespace vimora::help {

class HelpBrowser;

/// The viewer window of one help file: its title, the table of contents beside the page, and
/// Back, Forward and Home on a tool bar.
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

    QString m_fileKey;
    QUrl m_home;
    HelpBrowser* m_browser;
    QTreeWidget* m_contents;
    bool m_selectingEntry = false;
};

} // namespace vimora::help
