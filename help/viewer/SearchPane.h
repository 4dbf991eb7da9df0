#pragma once

#include "SearchIndex.h"

#include <QStringList>
#include <QUrl>
#include <QWidget>

#include <memory>
#include <optional>

class QListWidgetItem;

namespace Ui {
class SearchPane;
}

namespace vimora::help {

class ChmArchive;

/// The "Rechercher" tab: the words to look for, and the topics that hold them all. The index of
/// the file's words is built the first time the tab is shown or a search runs.
class SearchPane : public QWidget {
    Q_OBJECT

public:
    SearchPane(const ChmArchive& archive, QWidget* parent);
    ~SearchPane() override;

    /// Puts the focus in the field of words, which it selects.
    void focusWords();

signals:
    /// A topic found was opened; words are the folded words looked for.
    void topicChosen(const QUrl& topic, const QStringList& words);

protected:
    void showEvent(QShowEvent* event) override;

private:
    const SearchIndex& index();
    void search();
    void openResult(QListWidgetItem* item);

    const ChmArchive& m_archive;
    std::optional<SearchIndex> m_index;
    QStringList m_words;
    std::unique_ptr<Ui::SearchPane> m_ui;
};

} // namespace vimora::help
