#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vimora::csv {

/// The output could not be written; nothing more can be said on it.
class OutputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// True when a spreadsheet could run `text`: past any leading apostrophes, it begins with =, +, -,
/// @, a tab or a carriage return.
bool needsNeutralising(std::string_view text);

/// A text cell a spreadsheet shows and never runs: `text` after an apostrophe when it
/// needsNeutralising(), as it is otherwise. restoredText() gives every text back.
std::string neutralisedText(std::string_view text);

/// Buffers the output and hands it to the sink in large blocks. Lines end with LF; a field is
/// quoted (inner quotes doubled) only when it holds ";", '"', CR or LF.
class CsvWriter {
public:
    /// Writes all the bytes or throws OutputError.
    using WriteFunction = std::function<void(std::string_view bytes)>;

    static constexpr std::size_t kDefaultBufferSize = std::size_t(1) << 20;

    explicit CsvWriter(WriteFunction write, std::size_t bufferSize = kDefaultBufferSize);

    /// Writes one row of fields.
    void row(std::span<const std::string_view> fields);
    void flush();

private:
    /// Where `size` more bytes go.
    char* room(std::size_t size);

    WriteFunction m_write;
    std::size_t m_bufferSize;
    std::vector<char> m_buffer;
    std::size_t m_used = 0;
};

} // namespace vimora::csv
