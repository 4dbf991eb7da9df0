#include "PageCost.h"

#include "HelpLimits.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vimora::help {

namespace {

// Elements that never hold others.
constexpr std::array<std::string_view, 14> kEmptyElements{"area",  "base",   "br",    "col",  "embed",
                                                          "hr",    "img",    "input", "link", "meta",
                                                          "param", "source", "track", "wbr"};

// A paragraph or a list item opened right inside one of its own kind closes that one: the text
// document does not nest them.
constexpr std::array<std::string_view, 2> kSelfClosingElements{"li", "p"};

// The text document places these elements in the nearest open element that may hold them.
struct Placement {
    std::string_view element;
    std::array<std::string_view, 4> holders;
};
constexpr std::array<Placement, 8> kPlacements{{
    {"td", {"tr"}},
    {"th", {"tr"}},
    {"tr", {"table", "thead", "tbody", "tfoot"}},
    {"thead", {"table"}},
    {"tbody", {"table"}},
    {"tfoot", {"table"}},
    {"dd", {"dt", "dl"}},
    {"dt", {"dl"}},
}};

// Longer names are no element the document knows; cut there, they stay in a short string.
constexpr std::size_t kLongestTagName = 15;

bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

template <std::size_t N> bool isOneOf(std::string_view name, const std::array<std::string_view, N>& names) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

struct Tag {
    std::string name; ///< in lower case, at most kLongestTagName characters
    bool closing;
    qsizetype end; ///< just past its '>'
};

// The tag at `at`, a '<'; nothing when no tag begins there, or no '>' ends it.
std::optional<Tag> readTag(QByteArrayView html, qsizetype at) {
    qsizetype nameAt = at + 1;
    const bool closing = nameAt < html.size() && html[nameAt] == '/';
    if (closing)
        ++nameAt;
    if (nameAt >= html.size() || !isLetter(html[nameAt]))
        return std::nullopt;
    qsizetype nameEnd = nameAt;
    while (nameEnd < html.size() && (isLetter(html[nameEnd]) || isDigit(html[nameEnd])))
        ++nameEnd;
    const qsizetype end = html.indexOf('>', nameEnd);
    if (end < 0)
        return std::nullopt;
    Tag tag{{}, closing, end + 1};
    for (qsizetype i = nameAt; i < nameEnd && tag.name.size() < kLongestTagName; ++i)
        tag.name += lower(html[i]);
    return tag;
}

// The elements open at the current tag, as the text document nests them.
class OpenElements {
public:
    PageExcess open(const std::string& name) {
        if (!m_open.empty() && m_open.back() == name && isOneOf(name, kSelfClosingElements))
            closeLast(1);
        const auto* placement = std::find_if(kPlacements.begin(), kPlacements.end(),
                                             [&name](const Placement& p) { return p.element == name; });
        if (placement != kPlacements.end()) {
            const auto holder =
                std::find_if(m_open.rbegin(), m_open.rend(), [placement](const std::string& element) {
                    return isOneOf(element, placement->holders);
                });
            if (holder != m_open.rend())
                closeLast(static_cast<std::size_t>(holder - m_open.rbegin()));
        }
        m_open.push_back(name);
        if (m_open.size() > static_cast<std::size_t>(limits::kDeepestPageNesting))
            return PageExcess::TooDeep;
        if (name == "table" && ++m_tables > limits::kDeepestTableNesting)
            return PageExcess::TablesTooDeep;
        return PageExcess::None;
    }

    // An end tag closes the nearest open element of its name and all it holds; one of no open
    // element is ignored.
    void close(const std::string& name) {
        const auto match = std::find(m_open.rbegin(), m_open.rend(), name);
        if (match != m_open.rend())
            closeLast(static_cast<std::size_t>(match - m_open.rbegin()) + 1);
    }

private:
    void closeLast(std::size_t count) {
        for (; count > 0; --count) {
            m_tables -= m_open.back() == "table" ? 1 : 0;
            m_open.pop_back();
        }
    }

    std::vector<std::string> m_open;
    int m_tables = 0;
};

} // namespace

PageExcess measurePage(QByteArrayView html) {
    OpenElements open;
    int elements = 0;
    // Comments, scripts, quoted values and "/>" are not told apart: what looks like a tag there is
    // counted too, which can only make the count larger than the document's.
    for (qsizetype at = html.indexOf('<'); at >= 0; at = html.indexOf('<', at)) {
        const std::optional<Tag> tag = readTag(html, at);
        if (!tag) {
            ++at;
            continue;
        }
        at = tag->end;
        if (tag->closing) {
            open.close(tag->name);
            continue;
        }
        if (++elements > limits::kMostPageElements)
            return PageExcess::TooManyElements;
        if (isOneOf(tag->name, kEmptyElements))
            continue;
        if (const PageExcess excess = open.open(tag->name); excess != PageExcess::None)
            return excess;
    }
    return PageExcess::None;
}

} // namespace vimora::help
