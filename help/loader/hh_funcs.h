#pragma once

#include "platform/FileVersion.h"

#include <string>
#include <string_view>
#include <vector>

// Help environment detection and the diagnostic log. Once at start-up, after the help engine is
// loaded and before the main window exists, this works out where the program lives, which versions
// of the help engine and of the browser library are installed, and whether the log is wanted: the
// marker file "debug.debug" beside the program, or an argument "/debug" or "-debug" in any letter
// case. The log "HHDebug.txt" goes beside the program, or into the temporary directory when the
// program's directory is not writable; every start deletes an earlier one. Nothing else reads these
// values, and nothing here ever reports a failure.
namespace vimora::help {

/// A file version and its text, the four numbers joined by "."; all 0 and empty when none.
struct VersionNumbers {
    platform::FileVersion version;
    std::string text;
};

/// `text` without every trailing `ch`.
std::string StripTrailingChar(std::string_view text, char ch);

/// `count` copies of `ch`; empty for a count of 0 or less.
std::string RepeatChar(char ch, int count);

/// "YES" or "NO".
std::string YesNo(bool flag);

/// The system directory, without trailing separators.
std::string SystemDirectory();

/// The temporary directory, without trailing separators; the system drive's root (an empty text
/// here) when it does not exist.
std::string TempDirectory();

/// The version record of the file at `path`.
VersionNumbers GetFileVersionNumbers(const std::string& path);

/// 0 when equal, 1 when a is greater, -1 when a is smaller, field by field from the major number.
int CompareVersions(const platform::FileVersion& a, const platform::FileVersion& b);

/// Old browser libraries count their build in the last field: 4.70.0.1155 reads as 4.70.1155.0
/// (major 4, minor up to 70, release 0).
VersionNumbers ApplyOldNumbering(VersionNumbers numbers);

/// The version of the browser library "Shdocvw.dll" in the system directory, old numbering applied.
VersionNumbers GetBrowserVersion();

/// The release name of a help engine version ("1.33", "> 1.33", "< 1.0", ...).
std::string HelpEngineReleaseName(const platform::FileVersion& version);

/// The release name of a browser version ("Internet Explorer 6 (Windows XP)", ...).
std::string BrowserReleaseName(const platform::FileVersion& version);

/// The help engine's release name from its version, or empty when it has none.
std::string HelpEngineFriendlyVersion(const VersionNumbers& numbers);

/// The browser's release name from its version (old numbering applied), or empty when it has none.
std::string BrowserFriendlyVersion(const VersionNumbers& numbers);

/// Whether a new file can be created in `dir`. The probe file is created only under a name that
/// nothing has yet, and removed again: an existing file is never touched.
bool CanCreateFileIn(const std::string& dir);

/// The help environment, computed once at start-up after the help engine is loaded and before the
/// main window exists; constant afterwards.
struct HelpEnvironment {
    /// The log's file name, with its leading separator.
    static constexpr const char* DebugLogName = "/HHDebug.txt";

    /// Nothing detected and the log off; the start-up constructor below fills everything in.
    HelpEnvironment() = default;

    /// Computes every value from the program's arguments as main() received them and the help
    /// engine's path located at start-up, then writes the log's header (WriteDebugHeader).
    HelpEnvironment(int argc, char** argv, const std::string& helpEnginePath);

    /// Appends one line to the log, as "\r\n"-ended Windows-1252 text; a line that cannot be
    /// written is dropped. A line of "-" or "=" becomes a separator of 79 such characters; a line
    /// starting with "!" is written without it; any other line gets the time of day and three
    /// spaces in front.
    void DebugLog(const char* format, ...) const __attribute__((format(printf, 2, 3)));

    /// Deletes the previous log and, when the log is wanted, writes the header describing the help
    /// environment.
    void WriteDebugHeader() const;

    /// The program's arguments as main() received them, argument 0 as the executable's full path.
    std::vector<std::string> Arguments;
    std::string ModulePath;
    std::string ModuleDir;
    std::string ModuleName;
    std::string RunDir;
    std::string DebugDir;
    bool DebugOn = false;
    bool hhInstalled = false;
    std::string hhVerStr;
    std::string hhFriendlyVerStr;
    bool ieInstalled = false;
    std::string ieVerStr;
    std::string ieFriendlyVerStr;
};

} // namespace vimora::help
