#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;

namespace vimora::help {

class PageFinder;

/// The bar under the page that finds a phrase in it, as in a browser: matches highlighted as
/// the phrase is typed, Enter and Shift+Enter to the next and previous one, Escape to close.
class FindBar : public QWidget {
    Q_OBJECT

public:
    FindBar(PageFinder* finder, QWidget* parent);

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
    QLineEdit* m_phrase;
    QLabel* m_count;
};

} // namespace vimora::help
