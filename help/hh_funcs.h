#pragma once

#include "FileVersion.h"

#include <string>
#include <string_view>

// Help environment detection and the diagnostic log. Once at start-up, after the help engine is
// loaded and before the main window exists, this works out where the program lives, which versions
// of the help engine and of the browser library are installed, and whether the log is wanted: the
// marker file "debug.debug" beside the program, or an argument "/debug" or "-debug" in any letter
// case. The log "HHDebug.txt" goes beside the program, or into the temporary directory when the
// program's directory is not writable; every start deletes an earlier one. Nothing else reads these
// values, and nothing here ever reports a failure.
namespace vimora::help {

extern std::string ModulePath;
extern std::string ModuleDir;
extern std::string ModuleName;
extern std::string RunDir;
extern std::string DebugDir;
extern const std::string DebugLogName;
extern bool DebugOn;
extern bool hhInstalled;
extern std::string hhVerStr;
extern std::string hhFriendlyVerStr;
extern bool ieInstalled;
extern std::string ieVerStr;
extern std::string ieFriendlyVerStr;

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

/// The installed help engine's release name, or empty when it has no version.
std::string HelpEngineFriendlyVersion();

/// The installed browser's release name, or empty when it has no version.
std::string BrowserFriendlyVersion();

/// Whether a new file can be created in `dir`. The probe file is created only under a name that
/// nothing has yet, and removed again: an existing file is never touched.
bool CanCreateFileIn(const std::string& dir);

/// Appends one line to the log, as "\r\n"-ended Windows-1252 text; a line that cannot be written
/// is dropped. A line of "-" or "=" becomes a separator of 79 such characters; a line starting with
/// "!" is written without it; any other line gets the time of day and three spaces in front.
void DebugLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

/// Deletes the previous log and, when the log is wanted, writes the header describing the help
/// environment.
void WriteDebugHeader();

/// Start-up, after the help engine loader and before the main window: computes every value above
/// from the program's arguments as main() received them, then writes the header.
void initialiseHelpEnvironment(int argc, char** argv);

/// Program end, before the help engine loader's: releases the texts.
void finaliseHelpEnvironment();

} // namespace vimora::help
