#include "CsvWriter.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace vimora::cli {

namespace {

bool isSpecial(char c) {
    return c == ';' || c == '"' || c == '\r' || c == '\n';
}

// Sixteen bytes at a time: the summary line and the messages are long, and the check runs on
// every field of every row.
bool needsQuotes(std::string_view text) {
    using Bytes = char __attribute__((vector_size(16)));
    std::size_t i = 0;
    for (; i + sizeof(Bytes) <= text.size(); i += sizeof(Bytes)) {
        Bytes bytes;
        std::memcpy(&bytes, text.data() + i, sizeof bytes);
        const auto special = (bytes == ';') | (bytes == '"') | (bytes == '\r') | (bytes == '\n');
        std::uint64_t halves[2];
        std::memcpy(halves, &special, sizeof halves);
        if ((halves[0] | halves[1]) != 0)
            return true;
    }
    return std::any_of(text.begin() + static_cast<std::ptrdiff_t>(i), text.end(), isSpecial);
}

} // namespace

CsvWriter::CsvWriter(WriteFunction write, std::size_t bufferSize)
    : m_write(std::move(write))
    , m_bufferSize(bufferSize)
    , m_buffer(bufferSize + 4096) {}

char* CsvWriter::room(std::size_t size) {
    if (m_used + size > m_buffer.size())
        m_buffer.resize(std::max(m_used + size, m_buffer.size() * 2));
    return m_buffer.data() + m_used;
}

void CsvWriter::field(std::string_view text) {
    // The separator, two quotes and every byte doubled at worst.
    char* out = room(2 * text.size() + 3);
    if (m_rowStarted)
        *out++ = ';';
    m_rowStarted = true;
    if (!needsQuotes(text)) {
        if (!text.empty())
            std::memcpy(out, text.data(), text.size());
        out += text.size();
    } else {
        *out++ = '"';
        for (const char c : text) {
            if (c == '"')
                *out++ = '"';
            *out++ = c;
        }
        *out++ = '"';
    }
    m_used = static_cast<std::size_t>(out - m_buffer.data());
}

void CsvWriter::emptyFields(std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        field({});
}

void CsvWriter::endRow() {
    *room(1) = '\n';
    ++m_used;
    m_rowStarted = false;
    if (m_used >= m_bufferSize)
        flush();
}

void CsvWriter::flush() {
    if (m_used == 0)
        return;
    m_write(std::string_view(m_buffer.data(), m_used));
    m_used = 0;
}

} // namespace vimora::cli
