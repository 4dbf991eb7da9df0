#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

// Search in the help ignores case and accents: texts are compared in a folded form (lower case,
// letters without their diacritics, ligatures spelt out), with the way back to the original
// text kept so that a match can be shown where it is.
namespace vimora::help {

/// Longer words are indexed and looked for by their first characters only.
inline constexpr qsizetype kLongestWord = 64;

/// A text in folded form.
struct FoldedText {
    QString text;
    /// For each character of text, the index of the original character it comes from.
    std::vector<qsizetype> origin;
    /// The length of the original text.
    qsizetype originalSize = 0;
};

/// The folded form of a text: "Obésité" and "OBESITE" both give "obesite", "cœur" gives "coeur".
FoldedText foldText(QStringView text);

/// Whether a character of a folded text belongs to a word.
bool isWordCharacter(QChar character);

/// Calls `each(start, end)` for every word of a folded text, [start, end) in that text, in order.
template <typename Each> void forEachWord(QStringView folded, Each each) {
    qsizetype at = 0;
    while (at < folded.size()) {
        if (!isWordCharacter(folded[at])) {
            ++at;
            continue;
        }
        const qsizetype start = at;
        while (at < folded.size() && isWordCharacter(folded[at]))
            ++at;
        each(start, at);
    }
}

/// The folded words of what a user typed, in order, without repeats, each cut to kLongestWord.
QStringList queryWords(QStringView typed);

/// A match in an original text: [start, end).
struct TextMatch {
    qsizetype start = 0;
    qsizetype end = 0;
    friend bool operator==(const TextMatch&, const TextMatch&) = default;
};

/// Where a phrase occurs in a text, ignoring case and accents (as a browser finds in a page);
/// at most `limit` matches.
std::vector<TextMatch> findPhrase(const FoldedText& text, QStringView phrase, std::size_t limit);

/// Where words of the text begin with one of the folded words; at most `limit` matches.
std::vector<TextMatch> findWordStarts(const FoldedText& text, const QStringList& words, std::size_t limit);

} // namespace vimora::help
