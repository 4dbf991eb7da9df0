#include "PageFinder.h"

#include <QPalette>
#include <QTextBrowser>
#include <QTextDocument>

#include <algorithm>

namespace vimora::help {

namespace {

const QColor kMatchColour(255, 235, 90);
const QColor kCurrentColour(255, 150, 50);

} // namespace

PageFinder::PageFinder(QTextBrowser* page)
    : QObject(page)
    , m_page(page) {}

void PageFinder::findPhrase(const QString& phrase) {
    // As the phrase grows, the current match stays where it is.
    const qsizetype from = m_matches.empty() ? 0 : m_matches[m_current].start;
    m_words.clear();
    m_phrase = phrase;
    find(from);
}

void PageFinder::findWords(const QStringList& words) {
    m_phrase.clear();
    m_words = words;
    find(0);
}

void PageFinder::clear() {
    m_phrase.clear();
    m_words.clear();
    find(0);
}

void PageFinder::pageChanged() {
    find(0);
}

void PageFinder::find(qsizetype from) {
    m_matches.clear();
    m_current = 0;
    if (isActive()) {
        // The raw text has one character for each position of the document.
        const FoldedText text = foldText(m_page->document()->toRawText());
        m_matches = m_phrase.isEmpty() ? findWordStarts(text, m_words, kMostMatches)
                                       : vimora::help::findPhrase(text, m_phrase, kMostMatches);
        const auto at = std::find_if(m_matches.begin(), m_matches.end(),
                                     [from](const TextMatch& match) { return match.start >= from; });
        m_current = at == m_matches.end() ? 0 : static_cast<std::size_t>(at - m_matches.begin());
    }
    show();
}

void PageFinder::next() {
    if (m_matches.empty())
        return;
    m_current = (m_current + 1) % m_matches.size();
    show();
}

void PageFinder::previous() {
    if (m_matches.empty())
        return;
    m_current = (m_current + m_matches.size() - 1) % m_matches.size();
    show();
}

void PageFinder::show() {
    QList<QTextEdit::ExtraSelection> selections;
    selections.reserve(static_cast<qsizetype>(m_matches.size()));
    for (std::size_t i = 0; i < m_matches.size(); ++i) {
        QTextEdit::ExtraSelection selection;
        selection.cursor = QTextCursor(m_page->document());
        selection.cursor.setPosition(static_cast<int>(m_matches[i].start));
        selection.cursor.setPosition(static_cast<int>(m_matches[i].end), QTextCursor::KeepAnchor);
        selection.format.setBackground(i == m_current ? kCurrentColour : kMatchColour);
        selection.format.setForeground(Qt::black);
        selections.append(selection);
    }
    m_page->setExtraSelections(selections);
    if (!m_matches.empty()) {
        QTextCursor cursor(m_page->document());
        cursor.setPosition(static_cast<int>(m_matches[m_current].start));
        cursor.setPosition(static_cast<int>(m_matches[m_current].end), QTextCursor::KeepAnchor);
        m_page->setTextCursor(cursor);
        m_page->ensureCursorVisible();
    } else if (m_page->textCursor().hasSelection()) {
        // Only then: setting the cursor scrolls to it, away from the part of a page a link named.
        QTextCursor cursor = m_page->textCursor();
        cursor.clearSelection();
        m_page->setTextCursor(cursor);
    }
    emit matchesChanged();
}

} // namespace vimora::help
