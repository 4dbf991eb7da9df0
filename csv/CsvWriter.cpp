#include "CsvWriter.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace vimora::csv {

namespace {

bool isSpecial(char c) {
    return c == ';' || c == '"' || c == '\r' || c == '\n';
}

using Block = char __attribute__((vector_size(16)));

// Copies one block of the text unless it holds a character that needs quotes.
bool copyBlock(const char* from, char* to) {
    Block bytes;
    std::memcpy(&bytes, from, sizeof bytes);
    const auto special = (bytes == ';') | (bytes == '"') | (bytes == '\r') | (bytes == '\n');
    std::array<std::uint64_t, 2> halves{};
    std::memcpy(halves.data(), &special, sizeof halves);
    if ((halves[0] | halves[1]) != 0)
        return false;
    std::memcpy(to, &bytes, sizeof bytes);
    return true;
}

// Copies the text as it is, sixteen bytes at a time, and tells whether it needed quotes after
// all; there are a dozen fields per row, so this beats a check followed by a call to memcpy.
bool copyPlain(std::string_view text, char* out) {
    const std::size_t size = text.size();
    if (size < sizeof(Block)) {
        for (std::size_t i = 0; i < size; ++i) {
            if (isSpecial(text[i]))
                return false;
            out[i] = text[i];
        }
        return true;
    }
    std::size_t i = 0;
    for (; i + sizeof(Block) <= size; i += sizeof(Block))
        if (!copyBlock(text.data() + i, out + i))
            return false;
    // The rest as one last block that overlaps the previous one.
    return i == size || copyBlock(text.data() + size - sizeof(Block), out + size - sizeof(Block));
}

// The field as it is, or quoted with its quotes doubled when it needs quotes; returns the end.
char* writeField(std::string_view text, char* out) {
    if (copyPlain(text, out))
        return out + text.size();
    *out++ = '"';
    for (const char c : text) {
        if (c == '"')
            *out++ = '"';
        *out++ = c;
    }
    *out++ = '"';
    return out;
}

} // namespace

bool needsNeutralising(std::string_view text) {
    const std::size_t start = text.find_first_not_of('\'');
    return start != std::string_view::npos &&
           std::string_view("=+-@\t\r").find(text[start]) != std::string_view::npos;
}

std::string neutralisedText(std::string_view text) {
    if (!needsNeutralising(text))
        return std::string(text);
    std::string cell;
    cell.reserve(text.size() + 1);
    cell += '\'';
    cell += text;
    return cell;
}

CsvWriter::CsvWriter(WriteFunction write, std::size_t bufferSize)
    : m_write(std::move(write))
    , m_bufferSize(bufferSize)
    , m_buffer(bufferSize + 4096) {}

char* CsvWriter::room(std::size_t size) {
    if (m_used + size > m_buffer.size())
        m_buffer.resize(std::max(m_used + size, m_buffer.size() * 2));
    return m_buffer.data() + m_used;
}

void CsvWriter::row(std::span<const std::string_view> fields) {
    // Room for the worst case once: every byte doubled and two quotes a field, the separators
    // and the line end.
    std::size_t worst = fields.size() + 1;
    for (const std::string_view text : fields)
        worst += 2 * text.size() + 2;
    char* const start = room(worst);
    char* out = start;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            *out++ = ';';
        out = writeField(fields[i], out);
    }
    *out++ = '\n';
    m_used += static_cast<std::size_t>(out - start);
    if (m_used >= m_bufferSize)
        flush();
}

void CsvWriter::flush() {
    if (m_used == 0)
        return;
    m_write(std::string_view(m_buffer.data(), m_used));
    m_used = 0;
}

} // namespace vimora::csv
