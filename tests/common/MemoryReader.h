#pragma once

#include <algorithm>
#include <cstddef>
#include <limits>
#include <string>
#include <utility>

namespace vimora::test {

/// A byte source over text held in memory, for readers that fill a buffer and take 0 for the
/// end: `std::size_t(char* buffer, std::size_t size)`. It hands over at most `pieceSize` bytes
/// a call, so that what is read can be made to cross the reader's buffer boundaries anywhere.
class MemoryReader {
public:
    explicit MemoryReader(std::string bytes, std::size_t pieceSize = std::numeric_limits<std::size_t>::max())
        : m_bytes(std::move(bytes))
        , m_pieceSize(pieceSize) {}

    std::size_t operator()(char* buffer, std::size_t size) {
        const std::size_t count = std::min({size, m_pieceSize, m_bytes.size() - m_offset});
        std::copy_n(m_bytes.data() + m_offset, count, buffer);
        m_offset += count;
        return count;
    }

private:
    std::string m_bytes;
    std::size_t m_pieceSize;
    std::size_t m_offset = 0;
};

} // namespace vimora::test
