#pragma once

#include <QByteArrayView>

// What a page would cost the text document, told from its tags before it is built.
namespace vimora::help {

/// Why a page is not shown.
enum class PageExcess {
    None,
    TooManyElements, ///< more than limits::kMostPageElements
    TooDeep,         ///< elements nested deeper than limits::kDeepestPageNesting
    TablesTooDeep,   ///< tables nested deeper than limits::kDeepestTableNesting
};

/// Counts a page's elements and how deep they nest, as the text document would build them or
/// deeper: end tags that a page may leave out close only what the document closes too.
PageExcess measurePage(QByteArrayView html);

} // namespace vimora::help
