#include "CsvReader.h"

#include "CsvWriter.h"
#include "platform/Utf8.h"

#include <algorithm>
#include <cstring>

namespace vimora::csv {

namespace {

std::size_t countNewlines(const char* begin, const char* end) {
    return static_cast<std::size_t>(std::count(begin, end, '\n'));
}

bool isAscii(const char* begin, const char* end) {
    unsigned char highBits = 0;
    for (const char* p = begin; p != end; ++p)
        highBits |= static_cast<unsigned char>(*p);
    return highBits < 0x80;
}

std::string withLine(std::size_t line, const std::string& message) {
    return "ligne " + std::to_string(line) + " : " + message;
}

[[noreturn]] void fail(std::size_t line, const std::string& message) {
    throw CsvError(line, message);
}

} // namespace

std::string_view restoredText(std::string_view cell) {
    if (cell.starts_with('\'') && needsNeutralising(cell.substr(1)))
        return cell.substr(1);
    return cell;
}

CsvError::CsvError(std::size_t line, const std::string& message)
    : std::runtime_error(withLine(line, message))
    , m_line(line)
    , m_reason(message) {}

CsvReader::CsvReader(ReadFunction read, std::size_t chunkSize, std::size_t maxRecordSize)
    : m_read(std::move(read))
    , m_chunkSize(chunkSize)
    , m_maxRecordSize(maxRecordSize) {}

void CsvReader::checkRecordSize(std::size_t size, std::size_t line) const {
    if (size > m_maxRecordSize)
        fail(line, "enregistrement trop long (plus de " + std::to_string(m_maxRecordSize) + " octets)");
}

void CsvReader::failInRecord(std::size_t examinedEnd, std::size_t line, const std::string& message) const {
    // An over-long record is reported as such wherever its fault lies, as it would be had the
    // input arrived in small pieces.
    checkRecordSize(examinedEnd - m_begin, m_recordLine);
    fail(line, message);
}

bool CsvReader::readMore() {
    if (m_atEnd)
        return false;
    // The buffer holds at most one record and one chunk, however long the input.
    checkRecordSize(m_end - m_begin, m_nextLine);
    if (m_begin > 0) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_begin, m_end - m_begin);
        m_end -= m_begin;
        m_begin = 0;
    }
    if (m_buffer.size() < m_end + m_chunkSize)
        m_buffer.resize(m_end + m_chunkSize);
    const std::size_t count = m_read(m_buffer.data() + m_end, m_chunkSize);
    if (count == 0) {
        m_atEnd = true;
        return false;
    }
    m_end += count;
    return true;
}

void CsvReader::skipByteOrderMark() {
    while (m_end - m_begin < 3 && readMore()) {
    }
    if (m_end - m_begin >= 3 && std::memcmp(m_buffer.data() + m_begin, "\xEF\xBB\xBF", 3) == 0)
        m_begin += 3;
}

void CsvReader::checkUtf8(std::size_t begin, std::size_t end) const {
    const char* data = m_buffer.data();
    if (isAscii(data + begin, data + end))
        return;
    const std::size_t bad = begin + platform::firstInvalidUtf8(std::string_view(data + begin, end - begin));
    if (bad != end)
        fail(m_recordLine + countNewlines(data + begin, data + bad), "texte qui n'est pas en UTF-8");
}

void CsvReader::splitPlainLine(std::size_t begin, std::size_t end) {
    const char* field = m_buffer.data() + begin;
    const char* const lineEnd = m_buffer.data() + end;
    for (const char* p = field; p != lineEnd; ++p) {
        if (*p == ';') {
            m_fields.emplace_back(field, static_cast<std::size_t>(p - field));
            field = p + 1;
        }
    }
    m_fields.emplace_back(field, static_cast<std::size_t>(lineEnd - field));
}

CsvReader::Parse CsvReader::parseQuoted(std::size_t& recordEnd, std::size_t& lines) {
    m_fields.clear();
    m_unquoted.clear();
    // Undoing quotes never lengthens the text, so the views into m_unquoted stay valid.
    m_unquoted.reserve(m_end - m_begin);
    lines = 0;
    std::size_t p = m_begin;
    for (;;) {
        const Step step = p < m_end && m_buffer[p] == '"' ? readQuotedField(p, lines) : readPlainField(p);
        if (step == Step::NeedMore)
            return Parse::NeedMore;
        if (step == Step::RecordDone) {
            recordEnd = p;
            return Parse::Done;
        }
    }
}

CsvReader::Step CsvReader::readQuotedField(std::size_t& p, std::size_t& lines) {
    const std::size_t start = m_unquoted.size();
    if (!unquote(p, lines))
        return Step::NeedMore;
    m_fields.emplace_back(m_unquoted.data() + start, m_unquoted.size() - start);
    return endQuotedField(p, lines);
}

bool CsvReader::unquote(std::size_t& p, std::size_t& lines) {
    const char* data = m_buffer.data();
    const std::size_t quoteLine = m_recordLine + lines;
    for (++p;;) {
        const auto* quote = static_cast<const char*>(std::memchr(data + p, '"', m_end - p));
        if (quote == nullptr) {
            if (m_atEnd)
                failInRecord(m_end, quoteLine, "guillemet non fermé");
            return false;
        }
        const auto q = static_cast<std::size_t>(quote - data);
        m_unquoted.append(data + p, q - p);
        lines += countNewlines(data + p, quote);
        if (q + 1 == m_end && !m_atEnd)
            return false; // a doubled quote may follow
        p = q + 1;
        if (p == m_end || data[p] != '"')
            return true;
        m_unquoted += '"';
        ++p;
    }
}

CsvReader::Step CsvReader::endQuotedField(std::size_t& p, std::size_t lines) const {
    const char* data = m_buffer.data();
    if (p == m_end)
        return Step::RecordDone;
    if (data[p] == ';') {
        ++p;
        return Step::NextField;
    }
    if (data[p] == '\n') {
        ++p;
        return Step::RecordDone;
    }
    std::size_t examined = p + 1;
    if (data[p] == '\r') {
        if (p + 1 == m_end && !m_atEnd)
            return Step::NeedMore;
        if (p + 1 == m_end || data[p + 1] == '\n') {
            p = std::min(p + 2, m_end);
            return Step::RecordDone;
        }
        ++examined;
    }
    failInRecord(examined, m_recordLine + lines, "caractère inattendu après un guillemet fermant");
}

CsvReader::Step CsvReader::readPlainField(std::size_t& p) {
    const char* data = m_buffer.data();
    std::size_t q = p;
    while (q < m_end && data[q] != ';' && data[q] != '\n')
        ++q;
    if (q == m_end && !m_atEnd)
        return Step::NeedMore;
    std::size_t fieldEnd = q;
    if ((q == m_end || data[q] == '\n') && fieldEnd > p && data[fieldEnd - 1] == '\r')
        --fieldEnd;
    m_fields.emplace_back(data + p, fieldEnd - p);
    if (q == m_end) {
        p = q;
        return Step::RecordDone;
    }
    p = q + 1;
    return data[q] == ';' ? Step::NextField : Step::RecordDone;
}

bool CsvReader::next() {
    if (!m_started) {
        m_started = true;
        skipByteOrderMark();
    }
    m_fields.clear();
    for (;;) {
        // Find the end of the line, reading on while it is not in the buffer.
        std::size_t scanned = 0;
        const char* newline = nullptr;
        for (;;) {
            const std::size_t from = m_begin + scanned;
            newline = static_cast<const char*>(std::memchr(m_buffer.data() + from, '\n', m_end - from));
            if (newline != nullptr)
                break;
            scanned = m_end - m_begin;
            if (!readMore())
                break;
        }
        if (m_begin == m_end)
            return false;

        const char* data = m_buffer.data();
        const std::size_t lineEnd = newline != nullptr ? static_cast<std::size_t>(newline - data) : m_end;
        const std::size_t afterLine = newline != nullptr ? lineEnd + 1 : m_end;
        std::size_t contentEnd = lineEnd;
        if (contentEnd > m_begin && data[contentEnd - 1] == '\r')
            --contentEnd;
        if (contentEnd == m_begin) {
            m_begin = afterLine;
            ++m_nextLine;
            continue;
        }

        m_recordLine = m_nextLine;
        // A record is at least its first line; its length is checked before anything else in
        // it, as it is while reading when the input arrives in small pieces.
        checkRecordSize(afterLine - m_begin, m_recordLine);
        if (std::memchr(data + m_begin, '"', contentEnd - m_begin) == nullptr) {
            checkUtf8(m_begin, contentEnd);
            splitPlainLine(m_begin, contentEnd);
            m_begin = afterLine;
            ++m_nextLine;
            return true;
        }

        std::size_t recordEnd = 0;
        std::size_t lines = 0;
        while (parseQuoted(recordEnd, lines) == Parse::NeedMore)
            readMore();
        checkRecordSize(recordEnd - m_begin, m_recordLine);
        checkUtf8(m_begin, recordEnd);
        m_begin = recordEnd;
        m_nextLine = m_recordLine + lines + 1;
        return true;
    }
}

} // namespace vimora::csv
