#pragma once

#include "HtmlTags.h"

#include <cstddef>
#include <limits>

namespace vimora::help {

/// Reads a sitemap file, the form of a help file's contents (.hhc) and index (.hhk): nested <UL>
/// lists of <LI> items, each described by an <OBJECT type="text/sitemap"> with <PARAM name=...
/// value=...> tags. Anything else is ignored. Tells `entries`, in the order of the file:
/// list(closing) at each <UL> and </UL>; begin(), param(name, value, cut) and end() for each
/// sitemap object, `cut` telling that the value was cut at limits::kLongestName characters.
/// Stops when entries.full() or after `mostTags` tags; returns false in the second case.
template <typename Entries>
bool readSitemap(QStringView text, Entries& entries,
                 std::size_t mostTags = std::numeric_limits<std::size_t>::max()) {
    HtmlTokens tokens(text);
    std::size_t tags = 0;
    bool inSitemap = false;
    for (HtmlTokens::Token token = tokens.next(); token.kind != HtmlTokens::Kind::End && !entries.full();
         token = tokens.next()) {
        if (token.kind != HtmlTokens::Kind::Tag)
            continue;
        if (++tags > mostTags)
            return false;
        if (token.is(QLatin1String("ul"))) {
            entries.list(token.closing);
        } else if (token.is(QLatin1String("object"))) {
            if (token.closing && inSitemap)
                entries.end();
            inSitemap =
                !token.closing && attributeValue(token.attributes, QLatin1String("type"))
                                          .compare(QLatin1String("text/sitemap"), Qt::CaseInsensitive) == 0;
            if (inSitemap)
                entries.begin();
        } else if (token.is(QLatin1String("param")) && inSitemap) {
            bool cut = false;
            const QString value = attributeValue(token.attributes, QLatin1String("value"), &cut);
            entries.param(attributeValue(token.attributes, QLatin1String("name")), value, cut);
        }
    }
    return true;
}

} // namespace vimora::help
