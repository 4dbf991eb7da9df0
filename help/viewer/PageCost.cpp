#include "PageCost.h"

#include "HelpLimits.h"
#include "HtmlTags.h"

#include <QString>

#include <algorithm>
#include <array>
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

// An element's name begins with a letter: other tags (<!DOCTYPE ...>) make none.
bool isElement(const HtmlTokens::Token& token) {
    return token.kind == HtmlTokens::Kind::Tag && !token.name.isEmpty() &&
           token.name.front().unicode() < 0x80 && token.name.front().isLetter();
}

bool sameName(QStringView name, std::string_view known) {
    return name.compare(QLatin1String(known.data(), static_cast<qsizetype>(known.size())),
                        Qt::CaseInsensitive) == 0;
}

bool sameName(QStringView a, QStringView b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

template <std::size_t N> bool isOneOf(QStringView name, const std::array<std::string_view, N>& names) {
    return std::any_of(names.begin(), names.end(),
                       [name](std::string_view known) { return sameName(name, known); });
}

// The elements open at the current tag, as the text document nests them.
class OpenElements {
public:
    PageExcess open(QStringView name) {
        if (!m_open.empty() && sameName(m_open.back(), name) && isOneOf(name, kSelfClosingElements))
            closeLast(1);
        const auto* placement =
            std::find_if(kPlacements.begin(), kPlacements.end(),
                         [name](const Placement& p) { return sameName(name, p.element); });
        if (placement != kPlacements.end()) {
            const auto holder =
                std::find_if(m_open.rbegin(), m_open.rend(), [placement](QStringView element) {
                    return isOneOf(element, placement->holders);
                });
            if (holder != m_open.rend())
                closeLast(static_cast<std::size_t>(holder - m_open.rbegin()));
        }
        m_open.push_back(name);
        if (m_open.size() > static_cast<std::size_t>(limits::kDeepestPageNesting))
            return PageExcess::TooDeep;
        if (sameName(name, "table") && ++m_tables > limits::kDeepestTableNesting)
            return PageExcess::TablesTooDeep;
        return PageExcess::None;
    }

    // An end tag closes the nearest open element of its name and all it holds; one of no open
    // element is ignored.
    void close(QStringView name) {
        const auto match = std::find_if(m_open.rbegin(), m_open.rend(),
                                        [name](QStringView element) { return sameName(element, name); });
        if (match != m_open.rend())
            closeLast(static_cast<std::size_t>(match - m_open.rbegin()) + 1);
    }

private:
    void closeLast(std::size_t count) {
        for (; count > 0; --count) {
            m_tables -= sameName(m_open.back(), "table") ? 1 : 0;
            m_open.pop_back();
        }
    }

    std::vector<QStringView> m_open;
    int m_tables = 0;
};

} // namespace

PageExcess measurePage(QByteArrayView html) {
    // Tags are ASCII whatever the page's encoding; Latin-1 keeps every byte a character.
    const QString page = QString::fromLatin1(html);
    HtmlTokens tokens(page, HtmlTokens::ScriptContent::Read);
    OpenElements open;
    int elements = 0;
    // Quoted values and "/>" are not told apart: what looks like a tag there is counted too, which
    // can only make the count larger than the document's.
    for (HtmlTokens::Token token = tokens.next(); token.kind != HtmlTokens::Kind::End;
         token = tokens.next()) {
        if (!isElement(token))
            continue;
        if (token.closing) {
            open.close(token.name);
            continue;
        }
        if (++elements > limits::kMostPageElements)
            return PageExcess::TooManyElements;
        if (isOneOf(token.name, kEmptyElements))
            continue;
        if (const PageExcess excess = open.open(token.name); excess != PageExcess::None)
            return excess;
    }
    return PageExcess::None;
}

} // namespace vimora::help
