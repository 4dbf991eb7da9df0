#pragma once

#include "KeywordIndex.h"

#include <QUrl>
#include <QWidget>

#include <memory>
#include <vector>

namespace Ui {
class IndexPane;
}

namespace vimora::help {

class ChmArchive;

/// The "Index" tab: the keywords of the help file's index in French alphabetical order, a field
/// that goes to the first keyword beginning with what is typed, and the keyword's topic opened
/// on Enter or a double click (the user chooses when it has several). Read the first time the
/// tab is shown.
class IndexPane : public QWidget {
    Q_OBJECT

public:
    IndexPane(const ChmArchive& archive, QWidget* parent);
    ~IndexPane() override;

    /// Puts the focus in the keyword field, which it selects.
    void focusKeyword();

signals:
    void topicChosen(const QUrl& topic);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void load();
    void jumpTo(const QString& typed);
    void openCurrent();

    const ChmArchive& m_archive;
    bool m_loaded = false;
    std::vector<Keyword> m_keywords;
    std::unique_ptr<Ui::IndexPane> m_ui;
};

} // namespace vimora::help
