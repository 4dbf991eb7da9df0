#pragma once

#include "FoldedText.h"

#include <QObject>
#include <QStringList>

#include <vector>

class QTextBrowser;

namespace vimora::help {

/// Highlights in the page shown either a phrase (the find bar) or the words of a search, ignoring
/// case and accents, and moves from one match to the next; the current one is selected.
class PageFinder : public QObject {
    Q_OBJECT

public:
    /// More matches than this in one page are not highlighted.
    static constexpr std::size_t kMostMatches = 10000;

    explicit PageFinder(QTextBrowser* page);

    void findPhrase(const QString& phrase);
    void findWords(const QStringList& words);
    void clear();
    /// Looks again in the page, which has changed.
    void pageChanged();

    void next();
    void previous();

    std::size_t matchCount() const { return m_matches.size(); }
    /// The current match, counted from 1; 0 when there is none.
    std::size_t current() const { return m_matches.empty() ? 0 : m_current + 1; }
    bool isActive() const { return !m_phrase.isEmpty() || !m_words.isEmpty(); }

signals:
    void matchesChanged();

private:
    void find(qsizetype from);
    void show();

    QTextBrowser* m_page;
    QString m_phrase;
    QStringList m_words;
    std::vector<TextMatch> m_matches;
    std::size_t m_current = 0;
};

} // namespace vimora::help
