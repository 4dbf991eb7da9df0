#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace vimora::platform {

/// The keys and text values of a registry file in the registry editor's export format: a
/// "REGEDIT4" or "Windows Registry Editor Version 5.00" header (the latter in UTF-16LE, as the
/// editor writes it, or in 8-bit text), "[root\key\...]" sections, "@=" default values and
/// "\"name\"=" named values, "\\" and "\"" escapes in strings, ";" comment lines. Key and value
/// names compare without regard to ASCII letter case. Only text values are kept: strings, and
/// expandable strings (hex(2)), which stay unexpanded; dword and other hex values are checked
/// and skipped.
class RegistryFile {
public:
    /// Reads a file's bytes. Anything that does not follow the format gives no keys at all, so a
    /// damaged file can never yield a half-read value.
    static RegistryFile parse(std::string_view bytes);

    /// The text value `name` ("" for the default value) of the key `path` (root first, parts
    /// joined by "\"), or nothing when the key or the value is absent or is not text.
    std::optional<std::string> readString(std::string_view path, std::string_view name) const;

private:
    std::map<std::string, std::map<std::string, std::string>> m_keys;
};

} // namespace vimora::platform
