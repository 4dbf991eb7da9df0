#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

#include <cstddef>
#include <unordered_map>
#include <vector>

// Full-text search over the topics of a help file, built once per file: every word of every
// page, folded (no case, no accents), with the topics where it occurs and how often.
namespace vimora::help {

class ChmArchive;

/// The words a page shows and its title.
struct TopicText {
    QString title;
    QString text;
};

/// Reads an HTML page the way the search sees it: the text of its <title> apart, the rest of its
/// text without tags, scripts or styles; at most limits::kLargestTopicText characters of text.
TopicText topicText(QStringView html);

/// One topic given to the index.
struct IndexedTopic {
    QUrl topic;
    QString html;
};

/// One topic found.
struct SearchResult {
    QUrl topic;
    QString title;
    int titleWords = 0; ///< how many of the words looked for the title holds
    int matches = 0;    ///< how many words of the page begin with a word looked for
};

class SearchIndex {
public:
    SearchIndex() = default;
    explicit SearchIndex(const std::vector<IndexedTopic>& topics);

    /// Every HTML page of the help file.
    static SearchIndex ofArchive(const ChmArchive& archive);

    /// The topics that hold every word typed (a word of the page beginning with it), those whose
    /// title holds the most of them first, then by number of matches, then by title.
    std::vector<SearchResult> search(const QString& typed) const;

    std::size_t topicCount() const { return m_topics.size(); }

private:
    struct Topic {
        QUrl url;
        QString title;
        QStringList titleWords;
    };
    struct Posting {
        int topic;
        int count;
    };

    void add(const QUrl& url, const TopicText& text);
    void sortWords();

    std::vector<Topic> m_topics;
    // Distinct words in sorted order, so that the words beginning with a prefix are a range;
    // each with the topics that hold it.
    QStringList m_words;
    std::vector<std::vector<Posting>> m_postings;
    // While the index is built: where each word is in m_words.
    std::unordered_map<QString, int> m_wordIds;
};

} // namespace vimora::help
