#include "RegistryFile.h"
#include "Utf8.h"

#include <algorithm>
#include <vector>

namespace vimora::platform {

namespace {

constexpr std::string_view kRegedit4 = "REGEDIT4";
constexpr std::string_view kRegedit5 = "Windows Registry Editor Version 5.00";

std::string foldCase(std::string_view text) {
    std::string folded(text);
    for (char& c : folded) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return folded;
}

std::string_view trim(std::string_view text) {
    constexpr std::string_view blanks = " \t\r";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool isHexNumber(std::string_view digits, std::size_t maxDigits) {
    if (digits.empty() || digits.size() > maxDigits) {
        return false;
    }
    return std::ranges::all_of(digits, [](char c) { return hexDigit(c) >= 0; });
}

// A quoted string at the start of `rest`, unescaped; `rest` moves past its closing quote.
std::optional<std::string> takeQuoted(std::string_view& rest) {
    if (rest.empty() || rest.front() != '"') {
        return std::nullopt;
    }
    std::string text;
    for (std::size_t i = 1; i < rest.size(); ++i) {
        char c = rest[i];
        if (c == '"') {
            rest.remove_prefix(i + 1);
            return text;
        }
        if (c == '\\') {
            if (i + 1 == rest.size() || (rest[i + 1] != '\\' && rest[i + 1] != '"')) {
                return std::nullopt;
            }
            c = rest[++i];
        }
        text += c;
    }
    return std::nullopt;
}

// The bytes of "hex:" data: two-digit items separated by commas.
std::optional<std::string> hexBytes(std::string_view data) {
    std::string bytes;
    if (trim(data).empty()) {
        return bytes;
    }
    for (;;) {
        const auto comma = data.find(',');
        const std::string_view item = trim(data.substr(0, comma));
        if (item.size() != 2 || !isHexNumber(item, 2)) {
            return std::nullopt;
        }
        bytes += static_cast<char>(hexDigit(item[0]) * 16 + hexDigit(item[1]));
        if (comma == std::string_view::npos) {
            return bytes;
        }
        data.remove_prefix(comma + 1);
    }
}

// The text held in string-typed hex data, up to its terminating null.
std::optional<std::string> hexText(const std::string& bytes, bool utf16) {
    if (!utf16) {
        return bytes.substr(0, bytes.find('\0'));
    }
    std::size_t end = 0;
    while (end + 1 < bytes.size() && (bytes[end] != '\0' || bytes[end + 1] != '\0')) {
        end += 2;
    }
    return utf8FromUtf16Le(std::string_view(bytes).substr(0, end));
}

// The data after "=". False when it is malformed; `text` is set for the text kinds only.
bool parseData(std::string_view data, bool utf16, std::optional<std::string>& text) {
    data = trim(data);
    if (data.starts_with('"')) {
        text = takeQuoted(data);
        return text.has_value() && trim(data).empty();
    }
    if (data.starts_with("dword:")) {
        return isHexNumber(data.substr(6), 8);
    }
    if (!data.starts_with("hex")) {
        return false;
    }
    data.remove_prefix(3);
    bool isText = false;
    if (data.starts_with('(')) {
        const auto close = data.find(')');
        if (close == std::string_view::npos || !isHexNumber(data.substr(1, close - 1), 8)) {
            return false;
        }
        const std::string_view kind = data.substr(1, close - 1);
        isText = kind == "1" || kind == "2"; // REG_SZ, REG_EXPAND_SZ
        data.remove_prefix(close + 1);
    }
    if (!data.starts_with(':')) {
        return false;
    }
    const std::optional<std::string> bytes = hexBytes(data.substr(1));
    if (!bytes) {
        return false;
    }
    if (isText) {
        text = hexText(*bytes, utf16);
        return text.has_value();
    }
    return true;
}

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    for (;;) {
        const auto end = text.find('\n');
        lines.push_back(text.substr(0, end));
        if (end == std::string_view::npos) {
            return lines;
        }
        text.remove_prefix(end + 1);
    }
}

// The file's text: UTF-16LE with its byte order mark as the registry editor writes it, or 8-bit
// text with or without a UTF-8 byte order mark. Nothing when the UTF-16 is malformed.
std::optional<std::string> fileText(std::string_view bytes) {
    if (bytes.starts_with("\xFF\xFE")) {
        return utf8FromUtf16Le(bytes.substr(2));
    }
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
    }
    return std::string(bytes);
}

// For the first line: whether the file's hex(2) strings are UTF-16LE (version 5 files hold Unicode
// data, whatever the file's own encoding), or nothing when the line is no known header.
std::optional<bool> utf16DataFromHeader(std::string_view line) {
    const std::string_view header = trim(line);
    if (header == kRegedit4) {
        return false;
    }
    if (header == kRegedit5) {
        return true;
    }
    return std::nullopt;
}

// The key of a "[root\key\...]" line, case folded; nothing when the line is malformed.
std::optional<std::string> sectionKey(std::string_view line) {
    // "[-key]" deletes a key when imported; an export never holds one.
    if (line.size() < 3 || !line.ends_with(']') || line[1] == '-') {
        return std::nullopt;
    }
    return foldCase(line.substr(1, line.size() - 2));
}

// The value line starting at lines[i], with the lines that a trailing "\" continues it on;
// `i` moves to its last line.
std::string valueLine(const std::vector<std::string_view>& lines, std::size_t& i) {
    std::string joined(trim(lines[i]));
    while (joined.ends_with('\\') && i + 1 < lines.size()) {
        joined.pop_back();
        joined += trim(lines[++i]);
    }
    return joined;
}

// Reads a @=data or "name"=data line into `values`: a text value is stored, any other kind
// removes an earlier value of that name. False when the line is malformed.
bool readValue(std::string_view line, bool utf16Data, std::map<std::string, std::string>& values) {
    std::string name;
    if (line.starts_with('@')) {
        line.remove_prefix(1);
    } else {
        std::optional<std::string> quoted = takeQuoted(line);
        if (!quoted) {
            return false;
        }
        name = foldCase(*quoted);
    }
    line = trim(line);
    std::optional<std::string> value;
    if (!line.starts_with('=') || !parseData(line.substr(1), utf16Data, value)) {
        return false;
    }
    if (value) {
        values[name] = std::move(*value);
    } else {
        values.erase(name);
    }
    return true;
}

} // namespace

RegistryFile RegistryFile::parse(std::string_view bytes) {
    const std::optional<std::string> text = fileText(bytes);
    if (!text) {
        return {};
    }
    const std::vector<std::string_view> lines = splitLines(*text);
    const std::optional<bool> utf16Data = utf16DataFromHeader(lines.front());
    if (!utf16Data) {
        return {};
    }
    RegistryFile file;
    std::map<std::string, std::string>* values = nullptr;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string_view line = trim(lines[i]);
        if (line.empty() || line.starts_with(';')) {
            continue;
        }
        if (line.starts_with('[')) {
            const std::optional<std::string> key = sectionKey(line);
            if (!key) {
                return {};
            }
            values = &file.m_keys[*key];
        } else if (values == nullptr || !readValue(valueLine(lines, i), *utf16Data, *values)) {
            return {};
        }
    }
    return file;
}

std::optional<std::string> RegistryFile::readString(std::string_view path, std::string_view name) const {
    const auto key = m_keys.find(foldCase(path));
    if (key == m_keys.end()) {
        return std::nullopt;
    }
    const auto value = key->second.find(foldCase(name));
    if (value == key->second.end()) {
        return std::nullopt;
    }
    return value->second;
}

} // namespace vimora::platform
