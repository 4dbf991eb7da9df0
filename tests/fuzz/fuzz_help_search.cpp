// The help viewer's keyword index and full-text search on arbitrary bytes: the index file's
// reader, the reading of a page's text, folding, the search and the matches it shows. Input that
// is a help file is read whole (its index file and every page).

#include "help/viewer/ChmArchive.h"
#include "help/viewer/FoldedText.h"
#include "help/viewer/HelpLimits.h"
#include "help/viewer/KeywordIndex.h"
#include "help/viewer/SearchIndex.h"

#include <cstdint>
#include <cstdlib>

using namespace vimora::help;

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

void checkKeywords(const std::vector<Keyword>& keywords) {
    check(keywords.size() <= limits::kMostKeywords);
    for (const Keyword& keyword : keywords) {
        check(!keyword.name.isEmpty() && keyword.name.size() <= limits::kLongestName);
        check(keyword.level <= limits::kDeepestKeywordLevel);
        check(keyword.topics.size() <= limits::kMostKeywordTopics);
    }
}

void checkMatches(const FoldedText& text, const std::vector<TextMatch>& matches) {
    check(matches.size() <= 64);
    qsizetype last = -1;
    for (const TextMatch& match : matches) {
        check(match.start > last && match.start < match.end && match.end <= text.originalSize);
        last = match.start;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (const std::unique_ptr<ChmArchive> archive = ChmArchive::fromBytes(bytes)) {
        checkKeywords(readKeywordIndex(*archive));
        const SearchIndex index = SearchIndex::ofArchive(*archive);
        check(index.topicCount() <= limits::kMostTopics);
        index.search(QStringLiteral("aide objectif"));
        return 0;
    }

    const QString text = decodeStoredText(bytes);
    checkKeywords(parseKeywordIndex(text));

    const TopicText topic = topicText(text);
    check(topic.text.size() <= limits::kLargestTopicText);
    // The first characters are what a user types; the whole input is the page.
    const QString typed = text.left(24);
    const SearchIndex index({{QUrl(QStringLiteral("chm:/page.htm")), text}});
    for (const SearchResult& result : index.search(typed))
        check(result.matches > 0 && result.titleWords >= 0);

    const FoldedText folded = foldText(topic.text);
    check(folded.origin.size() == static_cast<std::size_t>(folded.text.size()));
    for (std::size_t i = 0; i < folded.origin.size(); ++i)
        check(folded.origin[i] >= (i > 0 ? folded.origin[i - 1] : 0) &&
              folded.origin[i] < folded.originalSize);
    checkMatches(folded, findPhrase(folded, typed, 64));
    checkMatches(folded, findWordStarts(folded, queryWords(typed), 64));
    return 0;
}
