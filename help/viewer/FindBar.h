#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class FindBar;
}

namespace vimora::help {

class PageFinder;

/// The bar under the page that finds a phrase in it, as in a browser: matches highlighted as
/// the phrase is typed, Enter and Shift+Enter to the next and previous one, Escape to close.
class FindBar : public QWidget {
    Q_OBJECT

public:
    FindBar(PageFinder* finder, QWidget* parent);
    ~FindBar() override;

    /// Shows the bar with its phrase selected, ready to be typed over.
    void open();
    void close();

signals:
    void closed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showCount();

    PageFinder* m_finder;
    std::unique_ptr<Ui::FindBar> m_ui;
};

} // namespace vimora::help
