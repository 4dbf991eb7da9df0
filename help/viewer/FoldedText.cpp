#include "FoldedText.h"

#include <algorithm>

namespace vimora::help {

namespace {

void appendFolded(QChar character, qsizetype from, FoldedText& folded) {
    const auto append = [&](QChar c) {
        folded.text.append(c);
        folded.origin.push_back(from);
    };
    switch (character.unicode()) {
    case 0x0152: // Œ
    case 0x0153: // œ
        append(QLatin1Char('o'));
        append(QLatin1Char('e'));
        return;
    case 0x00C6: // Æ
    case 0x00E6: // æ
        append(QLatin1Char('a'));
        append(QLatin1Char('e'));
        return;
    case 0x00DF: // ß
        append(QLatin1Char('s'));
        append(QLatin1Char('s'));
        return;
    case 0x2018:
    case 0x2019:
    case 0x02BC:
        append(QLatin1Char('\''));
        return;
    case 0x00A0:
    case 0x202F:
        append(QLatin1Char(' '));
        return;
    default:
        break;
    }
    if (character.isMark())
        return;
    if (character.decompositionTag() == QChar::NoDecomposition || character.isSurrogate()) {
        append(character.toLower());
        return;
    }
    // One level of decomposition is enough for the Latin letters (é, ﬁ, ²...).
    for (const QChar part : character.decomposition()) {
        if (part.isMark())
            continue;
        const QString base =
            part.decompositionTag() == QChar::Canonical ? part.decomposition().left(1) : QString(part);
        append(base.isEmpty() ? part.toLower() : base.front().toLower());
    }
}

// The end in the original text of a match whose last folded character is at `last`: the marks
// that follow a letter belong to it.
qsizetype matchEnd(const FoldedText& text, qsizetype last) {
    const auto next = static_cast<std::size_t>(last + 1);
    const qsizetype end = next < text.origin.size() ? text.origin[next] : text.originalSize;
    return std::max(end, text.origin[static_cast<std::size_t>(last)] + 1);
}

} // namespace

FoldedText foldText(QStringView text) {
    FoldedText folded;
    folded.text.reserve(text.size());
    folded.origin.reserve(static_cast<std::size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i)
        appendFolded(text[i], i, folded);
    folded.originalSize = text.size();
    return folded;
}

bool isWordCharacter(QChar character) {
    return character.isLetterOrNumber() || character.isSurrogate();
}

QStringList queryWords(QStringView typed) {
    const QString folded = foldText(typed).text;
    QStringList words;
    forEachWord(folded, [&](qsizetype start, qsizetype end) {
        const QString word = folded.mid(start, std::min(end - start, kLongestWord));
        if (!words.contains(word))
            words.append(word);
    });
    return words;
}

std::vector<TextMatch> findPhrase(const FoldedText& text, QStringView phrase, std::size_t limit) {
    const QString folded = foldText(phrase).text;
    std::vector<TextMatch> matches;
    if (folded.isEmpty())
        return matches;
    for (qsizetype at = text.text.indexOf(folded); at >= 0 && matches.size() < limit;
         at = text.text.indexOf(folded, at + folded.size())) {
        const TextMatch match{text.origin[static_cast<std::size_t>(at)],
                              matchEnd(text, at + folded.size() - 1)};
        // One original character can fold to several ("½", "ß"): a match never overlaps the last.
        if (matches.empty() || match.start >= matches.back().end)
            matches.push_back(match);
    }
    return matches;
}

std::vector<TextMatch> findWordStarts(const FoldedText& text, const QStringList& words, std::size_t limit) {
    std::vector<TextMatch> matches;
    forEachWord(text.text, [&](qsizetype start, qsizetype end) {
        if (matches.size() >= limit)
            return;
        const QStringView word = QStringView(text.text).mid(start, end - start);
        for (const QString& wanted : words) {
            if (word.startsWith(wanted)) {
                const TextMatch match{text.origin[static_cast<std::size_t>(start)], matchEnd(text, end - 1)};
                if (matches.empty() || match.start >= matches.back().end)
                    matches.push_back(match);
                break;
            }
        }
    });
    return matches;
}

} // namespace vimora::help
