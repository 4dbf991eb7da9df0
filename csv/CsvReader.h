#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// Reading the French spreadsheet CSV: ";" between fields (the comma is the decimal separator),
// fields optionally quoted with '"', UTF-8 text.
namespace vimora::csv {

/// The text of a cell as neutralisedText() was given it; any other cell as it is.
std::string_view restoredText(std::string_view cell);

/// A fault of the input itself (not of one patient), with the line where it was found.
class CsvError : public std::runtime_error {
public:
    CsvError(std::size_t line, const std::string& message);
    std::size_t line() const { return m_line; }
    /// The fault alone, without its line, for a caller that names the line itself.
    const std::string& reason() const { return m_reason; }

private:
    std::size_t m_line;
    std::string m_reason;
};

/// Streams records from a byte source with a bounded buffer. A UTF-8 byte-order mark at the
/// start is skipped, blank lines are skipped, LF and CR LF both end a line, and a quoted field
/// may hold ";", '"' (doubled) and line ends. Throws CsvError on an unterminated quote, a
/// character after a closing quote, text that is not UTF-8 or a record over the size limit.
class CsvReader {
public:
    /// Fills the buffer and returns the number of bytes read, 0 at the end of the input.
    using ReadFunction = std::function<std::size_t(char* buffer, std::size_t size)>;

    static constexpr std::size_t kDefaultChunkSize = std::size_t(1) << 20;
    static constexpr std::size_t kDefaultMaxRecordSize = std::size_t(1) << 20;

    explicit CsvReader(ReadFunction read, std::size_t chunkSize = kDefaultChunkSize,
                       std::size_t maxRecordSize = kDefaultMaxRecordSize);

    /// Moves to the next record; false at the end of the input.
    bool next();

    /// The fields of the current record, valid until the next call of next().
    std::span<const std::string_view> fields() const { return m_fields; }

    /// The line on which the current record begins, counting from 1.
    std::size_t line() const { return m_recordLine; }

private:
    enum class Parse { Done, NeedMore };
    enum class Step { NextField, RecordDone, NeedMore };

    bool readMore();
    void skipByteOrderMark();
    /// Reads the record at m_begin, which holds a quote, into m_fields: `recordEnd` is where the
    /// next record begins, `lines` the line ends inside quotes. NeedMore when the bytes read so
    /// far end before the record does.
    Parse parseQuoted(std::size_t& recordEnd, std::size_t& lines);
    /// From the opening quote at `p` to past the field's end.
    Step readQuotedField(std::size_t& p, std::size_t& lines);
    /// Appends the text between the opening quote at `p` and its closing quote to m_unquoted,
    /// doubled quotes undone, and moves `p` past the closing quote; false when the bytes read so
    /// far end first.
    bool unquote(std::size_t& p, std::size_t& lines);
    /// What follows a closing quote: ";", a line end or the end of the input.
    Step endQuotedField(std::size_t& p, std::size_t lines) const;
    /// An unquoted field from `p` to the next ";" or line end, a CR before LF left out.
    Step readPlainField(std::size_t& p);
    void splitPlainLine(std::size_t begin, std::size_t end);
    void checkUtf8(std::size_t begin, std::size_t end) const;
    void checkRecordSize(std::size_t size, std::size_t line) const;
    [[noreturn]] void failInRecord(std::size_t examinedEnd, std::size_t line,
                                   const std::string& message) const;

    ReadFunction m_read;
    std::size_t m_chunkSize;
    std::size_t m_maxRecordSize;
    std::vector<char> m_buffer;
    std::size_t m_begin = 0; ///< first unconsumed byte
    std::size_t m_end = 0;   ///< end of the bytes read
    bool m_atEnd = false;
    bool m_started = false;
    std::size_t m_nextLine = 1;
    std::size_t m_recordLine = 0;
    std::vector<std::string_view> m_fields;
    std::string m_unquoted; ///< storage of the fields that had quotes to undo
};

} // namespace vimora::csv
