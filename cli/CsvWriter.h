#pragma once

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vimora::cli {

/// The output could not be written; nothing more can be said on it.
class OutputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// Buffers the output and hands it to the sink in large blocks. Lines end with LF; a field is
/// quoted (inner quotes doubled) only when it holds ";", '"', CR or LF.
class CsvWriter {
public:
    /// Writes all the bytes or throws OutputError.
    using WriteFunction = std::function<void(std::string_view bytes)>;

    static constexpr std::size_t kDefaultBufferSize = std::size_t(1) << 20;

    explicit CsvWriter(WriteFunction write, std::size_t bufferSize = kDefaultBufferSize);

    void field(std::string_view text);
    void emptyFields(std::size_t count);
    void endRow();
    void flush();

private:
    /// Where `size` more bytes go; inline, as it is asked a dozen times a row.
    char* room(std::size_t size) {
        if (m_used + size > m_buffer.size())
            grow(m_used + size);
        return m_buffer.data() + m_used;
    }
    void grow(std::size_t size);

    WriteFunction m_write;
    std::size_t m_bufferSize;
    std::vector<char> m_buffer;
    std::size_t m_used = 0;
    bool m_rowStarted = false;
};

} // namespace vimora::cli
