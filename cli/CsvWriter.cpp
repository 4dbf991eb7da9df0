#include "CsvWriter.h"

namespace vimora::cli {

namespace {

bool needsQuotes(std::string_view text) {
    for (const char c : text)
        if (c == ';' || c == '"' || c == '\r' || c == '\n')
            return true;
    return false;
}

} // namespace

CsvWriter::CsvWriter(WriteFunction write, std::size_t bufferSize)
    : m_write(std::move(write))
    , m_bufferSize(bufferSize) {
    m_buffer.reserve(bufferSize + 4096);
}

void CsvWriter::field(std::string_view text) {
    if (m_rowStarted)
        m_buffer += ';';
    m_rowStarted = true;
    if (!needsQuotes(text)) {
        m_buffer.append(text);
        return;
    }
    m_buffer += '"';
    for (const char c : text) {
        if (c == '"')
            m_buffer += '"';
        m_buffer += c;
    }
    m_buffer += '"';
}

void CsvWriter::emptyFields(std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        field({});
}

void CsvWriter::endRow() {
    m_buffer += '\n';
    m_rowStarted = false;
    if (m_buffer.size() >= m_bufferSize)
        flush();
}

void CsvWriter::flush() {
    if (m_buffer.empty())
        return;
    m_write(m_buffer);
    m_buffer.clear();
}

} // namespace vimora::cli
