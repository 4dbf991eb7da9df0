#include "SearchIndex.h"

#include "ChmArchive.h"
#include "FoldedText.h"
#include "HelpLimits.h"
#include "HtmlTags.h"

#include <QCollator>
#include <QHash>
#include <QLocale>

#include <algorithm>
#include <numeric>
#include <utility>

namespace vimora::help {

namespace {

// Tags inside a word: the others separate words.
bool isInlineTag(QStringView name) {
    static const QStringList kInline{"a",   "b",     "i",   "u",    "em", "strong", "span", "font", "sup",
                                     "sub", "small", "big", "code", "tt", "abbr",   "mark", "s"};
    return kInline.contains(name, Qt::CaseInsensitive);
}

bool isPage(const QString& path) {
    return path.endsWith(QLatin1String(".htm"), Qt::CaseInsensitive) ||
           path.endsWith(QLatin1String(".html"), Qt::CaseInsensitive);
}

QStringList foldedWords(QStringView text) {
    const QString folded = foldText(text).text;
    QStringList words;
    forEachWord(folded, [&](qsizetype start, qsizetype end) {
        words.append(folded.mid(start, std::min(end - start, kLongestWord)));
    });
    return words;
}

} // namespace

TopicText topicText(QStringView html) {
    TopicText topic;
    HtmlTokens tokens(html);
    bool inTitle = false;
    for (HtmlTokens::Token token = tokens.next(); token.kind != HtmlTokens::Kind::End;
         token = tokens.next()) {
        if (token.kind == HtmlTokens::Kind::Tag) {
            if (token.is(QLatin1String("title")))
                inTitle = !token.closing;
            else if (!isInlineTag(token.name) && !inTitle)
                topic.text += QLatin1Char(' ');
            continue;
        }
        if (inTitle) {
            if (topic.title.size() < limits::kLongestName)
                topic.title += decodeEntities(token.text.left(limits::kLongestName));
            continue;
        }
        topic.text += decodeEntities(token.text.left(limits::kLargestTopicText - topic.text.size()));
        if (topic.text.size() >= limits::kLargestTopicText)
            break;
    }
    topic.title = topic.title.left(limits::kLongestName).simplified();
    topic.text.truncate(limits::kLargestTopicText);
    return topic;
}

SearchIndex::SearchIndex(const std::vector<IndexedTopic>& topics) {
    for (const IndexedTopic& topic : topics) {
        if (m_topics.size() >= limits::kMostTopics)
            break;
        add(topic.topic, topicText(topic.html));
    }
    sortWords();
}

SearchIndex SearchIndex::ofArchive(const ChmArchive& archive) {
    SearchIndex index;
    qint64 bytesRead = 0;
    const QStringList paths = archive.objectPaths();
    for (const QString& path : paths) {
        if (index.m_topics.size() >= limits::kMostTopics || bytesRead >= limits::kLargestIndexedBytes)
            break;
        if (!isPage(path))
            continue;
        const std::optional<QByteArray> bytes = archive.read(path);
        if (!bytes)
            continue;
        bytesRead += bytes->size();
        index.add(topicUrl(path), topicText(decodeStoredText(*bytes)));
    }
    index.sortWords();
    return index;
}

void SearchIndex::add(const QUrl& url, const TopicText& text) {
    const int topic = static_cast<int>(m_topics.size());
    const QString title = text.title.isEmpty() ? url.path().section(QLatin1Char('/'), -1) : text.title;
    m_topics.push_back({url, title, foldedWords(title)});

    // A title is part of its page, as its heading usually is.
    QHash<QString, int> counts;
    for (const QString& word : m_topics.back().titleWords + foldedWords(text.text))
        ++counts[word];
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        const auto [id, added] = m_wordIds.try_emplace(it.key(), static_cast<int>(m_words.size()));
        if (added) {
            m_words.append(it.key());
            m_postings.emplace_back();
        }
        m_postings[static_cast<std::size_t>(id->second)].push_back({topic, it.value()});
    }
}

void SearchIndex::sortWords() {
    std::vector<std::size_t> order(m_postings.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
        return m_words[static_cast<qsizetype>(a)] < m_words[static_cast<qsizetype>(b)];
    });
    QStringList words;
    words.reserve(m_words.size());
    std::vector<std::vector<Posting>> postings;
    postings.reserve(m_postings.size());
    for (const std::size_t at : order) {
        words.append(m_words[static_cast<qsizetype>(at)]);
        postings.push_back(std::move(m_postings[at]));
    }
    m_words = std::move(words);
    m_postings = std::move(postings);
    m_wordIds.clear();
}

std::vector<SearchResult> SearchIndex::search(const QString& typed) const {
    const QStringList words = queryWords(typed);
    std::vector<SearchResult> results;
    if (words.isEmpty())
        return results;

    const std::size_t topics = m_topics.size();
    std::vector<int> wordsFound(topics, 0);
    std::vector<int> lastWord(topics, -1);
    std::vector<int> matches(topics, 0);
    for (int w = 0; w < words.size(); ++w) {
        const QString& wanted = words[w];
        for (auto word = std::lower_bound(m_words.cbegin(), m_words.cend(), wanted);
             word != m_words.cend() && word->startsWith(wanted); ++word) {
            for (const Posting& posting : m_postings[static_cast<std::size_t>(word - m_words.cbegin())]) {
                const auto t = static_cast<std::size_t>(posting.topic);
                // Only a topic that holds every earlier word can hold them all.
                if (wordsFound[t] < w)
                    continue;
                if (lastWord[t] != w) {
                    lastWord[t] = w;
                    ++wordsFound[t];
                }
                matches[t] += posting.count;
            }
        }
    }

    for (std::size_t t = 0; t < topics; ++t) {
        if (wordsFound[t] != words.size())
            continue;
        const Topic& topic = m_topics[t];
        const auto inTitle = std::count_if(words.cbegin(), words.cend(), [&topic](const QString& wanted) {
            return std::any_of(topic.titleWords.cbegin(), topic.titleWords.cend(),
                               [&wanted](const QString& word) { return word.startsWith(wanted); });
        });
        results.push_back({topic.url, topic.title, static_cast<int>(inTitle), matches[t]});
    }
    QCollator collator(QLocale(QLocale::French, QLocale::France));
    std::stable_sort(results.begin(), results.end(),
                     [&collator](const SearchResult& a, const SearchResult& b) {
                         if (a.titleWords != b.titleWords)
                             return a.titleWords > b.titleWords;
                         if (a.matches != b.matches)
                             return a.matches > b.matches;
                         return collator.compare(a.title, b.title) < 0;
                     });
    return results;
}

} // namespace vimora::help
