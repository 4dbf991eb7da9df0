#include "PageCost.h"

#include "HelpLimits.h"

#include <algorithm>
#include <array>
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

} // namespace

PageExcess measurePage(QByteArrayView html) {
    std::vector<std::string> open;
    int elements = 0;
    int tables = 0;
    const auto close = [&](std::size_t count) {
        for (; count > 0; --count) {
            tables -= open.back() == "table" ? 1 : 0;
            open.pop_back();
        }
    };
    qsizetype at = 0;
    // Comments, scripts, quoted values and "/>" are not told apart: what looks like a tag there is
    // counted too, which can only make the count larger than the document's.
    while ((at = html.indexOf('<', at)) >= 0) {
        qsizetype nameAt = at + 1;
        const bool closing = nameAt < html.size() && html[nameAt] == '/';
        if (closing)
            ++nameAt;
        qsizetype nameEnd = nameAt;
        if (nameEnd < html.size() && isLetter(html[nameEnd])) {
            while (nameEnd < html.size() && (isLetter(html[nameEnd]) || isDigit(html[nameEnd])))
                ++nameEnd;
        }
        if (nameEnd == nameAt) {
            ++at;
            continue;
        }
        const qsizetype end = html.indexOf('>', nameEnd);
        if (end < 0)
            break;
        std::string name;
        for (qsizetype i = nameAt; i < nameEnd && name.size() < kLongestTagName; ++i)
            name += lower(html[i]);
        at = end + 1;

        if (closing) {
            const auto match = std::find(open.rbegin(), open.rend(), name);
            if (match != open.rend())
                close(static_cast<std::size_t>(match - open.rbegin()) + 1);
            continue;
        }
        if (++elements > limits::kMostPageElements)
            return PageExcess::TooManyElements;
        if (isOneOf(name, kEmptyElements))
            continue;
        if (!open.empty() && open.back() == name && isOneOf(name, kSelfClosingElements))
            close(1);
        const auto placement = std::find_if(kPlacements.begin(), kPlacements.end(),
                                            [&name](const Placement& p) { return p.element == name; });
        if (placement != kPlacements.end()) {
            const auto holder =
                std::find_if(open.rbegin(), open.rend(), [&placement](const std::string& element) {
                    return isOneOf(element, placement->holders);
                });
            if (holder != open.rend())
                close(static_cast<std::size_t>(holder - open.rbegin()));
        }
        open.push_back(name);
        if (open.size() > static_cast<std::size_t>(limits::kDeepestPageNesting))
            return PageExcess::TooDeep;
        if (name == "table" && ++tables > limits::kDeepestTableNesting)
            return PageExcess::TablesTooDeep;
    }
    return PageExcess::None;
}

} // namespace vimora::help
