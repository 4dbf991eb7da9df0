#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// UTF-8, the platform's text encoding. Well-formed means as Unicode defines it: the shortest
// form only, no surrogates, nothing above U+10FFFF.
namespace vimora::platform {

/// A character read from the start of a text.
struct Utf8Character {
    char32_t code = 0;
    /// The bytes it takes; 0 when the text is empty or does not begin with a well-formed character.
    std::size_t length = 0;
};

/// The character at the start of `text`.
Utf8Character decodeUtf8(std::string_view text);

/// The offset of the first byte that is not part of well-formed UTF-8, or the size of `text`
/// when there is none.
std::size_t firstInvalidUtf8(std::string_view text);

/// Appends the UTF-8 form of `c`, which must be a Unicode scalar value.
void appendUtf8(std::string& text, char32_t c);

/// UTF-16LE bytes (no byte-order mark) in UTF-8; nothing for an odd length or an unpaired
/// surrogate.
std::optional<std::string> utf8FromUtf16Le(std::string_view bytes);

} // namespace vimora::platform
