#include "hh_funcs.h"

#include "platform/Files.h"
#include "platform/Locale.h"
#include "platform/OsVersion.h"
#include "platform/Paths.h"
#include "platform/RegionalSettings.h"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <span>
#include <vector>

namespace vimora::help {

using platform::FileVersion;
using platform::kPathSeparator;

static_assert(HelpEnvironment::DebugLogName[0] == kPathSeparator);

namespace {

constexpr const char* kProbeFileName = "$_Temp_$.$$$";
constexpr const char* kMarkerFileName = "debug.debug";
constexpr const char* kBrowserLibraryName = "Shdocvw.dll";

struct ReleaseName {
    FileVersion from;
    const char* name;
};

constexpr FileVersion kHelpEngine133{4, 74, 9273, 0};

// Each row names the versions from its own up to the row above.
constexpr auto kHelpEngineReleases = std::to_array<ReleaseName>({
    {{4, 74, 8857, 0}, "1.32"},
    {{4, 74, 8793, 0}, "1.31"},
    {{4, 74, 8702, 0}, "1.3"},
    {{4, 73, 8561, 0}, "1.22"},
    {{4, 73, 8474, 0}, "1.21a"},
    {{4, 73, 8412, 0}, "1.21"},
    {{4, 73, 8252, 0}, "1.2"},
    {{4, 72, 8164, 0}, "1.1b"},
    {{4, 72, 7325, 0}, "1.1a"},
    {{4, 72, 7323, 0}, "1.1"},
    {{4, 72, 7290, 0}, "1.0"},
});

constexpr FileVersion kInternetExplorer6{6, 0, 2600, 0};

// Internet Explorer 5.5 has the minor number 50, not 5.
constexpr auto kBrowserReleases = std::to_array<ReleaseName>({
    {{6, 0, 2479, 6}, "Internet Explorer 6 Public Preview (Beta) Refresh"},
    {{6, 0, 2462, 0}, "Internet Explorer 6 Public Preview (Beta)"},
    {{5, 50, 4807, 2300}, "Internet Explorer 5.5 Service Pack 2"},
    {{5, 50, 4522, 1800}, "Internet Explorer 5.5 Service Pack 1"},
    {{5, 50, 4308, 2900}, "Internet Explorer 5.5 Advanced Security Privacy Beta"},
    {{5, 50, 4134, 600}, "Internet Explorer 5.5"},
    {{5, 50, 4134, 100}, "Internet Explorer 5.5 for Windows Me (4.90.3000)"},
    {{5, 50, 4030, 2400}, "Internet Explorer 5.5 & Internet Tools Beta"},
    {{5, 50, 3825, 1300}, "Internet Explorer 5.5 Developer Preview"},
    {{5, 0, 2919, 6307}, "Internet Explorer 5.01"},
    {{5, 0, 2919, 3800}, "Internet Explorer 5.01 (Windows 2000 RC2, build 5.00.2128)"},
    {{5, 0, 2919, 800}, "Internet Explorer 5.01 (Windows 2000 RC1, build 5.00.2072)"},
    {{5, 0, 2721, 1400}, "Internet Explorer 5.0 updated"},
    {{5, 0, 2614, 0}, "Internet Explorer 5.0b"},
    {{5, 0, 2314, 0}, "Internet Explorer 5.0a"},
    {{5, 0, 2014, 0}, "Internet Explorer 5.0"},
    {{5, 0, 910, 0}, "Internet Explorer 5 Beta (Beta 2)"},
    {{5, 0, 518, 0}, "Internet Explorer 5 Developer Preview (Beta 1)"},
    {{4, 72, 3612, 0}, "Internet Explorer 4.01 Service Pack 2 (SP2)"},
    {{4, 72, 3110, 0}, "Internet Explorer 4.01 Service Pack 1 (SP1)"},
    {{4, 72, 2106, 0}, "Internet Explorer 4.01"},
    {{4, 71, 1712, 0}, "Internet Explorer 4.0"},
    {{4, 71, 1008, 0}, "Internet Explorer 4.0 Platform Preview 2.0 (PP2)"},
    {{4, 71, 544, 0}, "Internet Explorer 4.0 Platform Preview 1.0 (PP1)"},
    {{4, 70, 1300, 0}, "Internet Explorer 3.02"},
    {{4, 70, 1215, 0}, "Internet Explorer 3.01"},
    {{4, 70, 1158, 0}, "Internet Explorer 3.0 (OSR2)"},
    {{4, 70, 1155, 0}, "Internet Explorer 3.0"},
    {{4, 40, 520, 0}, "Internet Explorer 2.0"},
    {{4, 40, 308, 0}, "Internet Explorer 1.0 (Plus!)"},
});

std::string releaseName(const FileVersion& version, const FileVersion& newest, const char* aboveNewest,
                        const char* newestName, std::span<const ReleaseName> older, const char* oldest) {
    const int order = CompareVersions(version, newest);
    if (order > 0) {
        return aboveNewest;
    }
    if (order == 0) {
        return newestName;
    }
    for (const ReleaseName& release : older) {
        if (CompareVersions(version, release.from) >= 0) {
            return release.name;
        }
    }
    return oldest;
}

std::string versionText(const FileVersion& version) {
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%u.%u.%u.%u", version.major, version.minor, version.release,
                  version.build);
    return text.data();
}

// "/debug" or "-debug", the whole argument, ASCII letter case ignored.
bool isDebugSwitch(std::string_view argument) {
    constexpr std::string_view debug = "debug";
    if (argument.size() != debug.size() + 1 || (argument[0] != '/' && argument[0] != '-')) {
        return false;
    }
    return std::equal(debug.begin(), debug.end(), argument.begin() + 1, [](char expected, char c) {
        return expected == (c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
}

std::string hexIdentifier(std::uint32_t value) {
    std::array<char, 16> text{};
    std::snprintf(text.data(), text.size(), "0x%.4X", value);
    return text.data();
}

std::string joinedArguments(const std::vector<std::string>& arguments) {
    std::string joined;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        if (!joined.empty()) {
            joined += " | ";
        }
        joined += arguments[i];
    }
    return joined;
}

} // namespace

std::string StripTrailingChar(std::string_view text, char ch) {
    while (!text.empty() && text.back() == ch) {
        text.remove_suffix(1);
    }
    return std::string(text);
}

std::string RepeatChar(char ch, int count) {
    // Not a braced list: that would be the two characters, not `count` copies.
    std::string repeated(static_cast<std::size_t>(std::max(count, 0)), ch);
    return repeated;
}

std::string YesNo(bool flag) {
    return flag ? "YES" : "NO";
}

std::string SystemDirectory() {
    return StripTrailingChar(platform::systemLibraryDirectory(), kPathSeparator);
}

std::string TempDirectory() {
    const std::string directory = platform::temporaryPath();
    return StripTrailingChar(platform::directoryExists(directory) ? std::string_view(directory)
                                                                  : platform::kSystemDriveRoot,
                             kPathSeparator);
}

VersionNumbers GetFileVersionNumbers(const std::string& path) {
    const std::optional<FileVersion> version = platform::fileVersion(path);
    if (!version) {
        return {};
    }
    return {*version, versionText(*version)};
}

int CompareVersions(const FileVersion& a, const FileVersion& b) {
    const std::array<std::uint16_t, 4> left{a.major, a.minor, a.release, a.build};
    const std::array<std::uint16_t, 4> right{b.major, b.minor, b.release, b.build};
    for (std::size_t i = 0; i < std::size(left); ++i) {
        if (left[i] != right[i]) {
            return left[i] > right[i] ? 1 : -1;
        }
    }
    return 0;
}

VersionNumbers ApplyOldNumbering(VersionNumbers numbers) {
    FileVersion& version = numbers.version;
    if (version.major == 4 && version.minor <= 70 && version.release == 0) {
        version.release = version.build;
        version.build = 0;
        numbers.text = versionText(version);
    }
    return numbers;
}

VersionNumbers GetBrowserVersion() {
    return ApplyOldNumbering(GetFileVersionNumbers(SystemDirectory() + kPathSeparator + kBrowserLibraryName));
}

std::string HelpEngineReleaseName(const FileVersion& version) {
    return releaseName(version, kHelpEngine133, "> 1.33", "1.33", kHelpEngineReleases, "< 1.0");
}

std::string BrowserReleaseName(const FileVersion& version) {
    return releaseName(version, kInternetExplorer6, "> Internet Explorer 6",
                       "Internet Explorer 6 (Windows XP)", kBrowserReleases,
                       "< Internet Explorer 1.0 (Plus!)");
}

std::string HelpEngineFriendlyVersion(const VersionNumbers& numbers) {
    return numbers.text.empty() ? std::string() : HelpEngineReleaseName(numbers.version);
}

std::string BrowserFriendlyVersion(const VersionNumbers& numbers) {
    return numbers.text.empty() ? std::string() : BrowserReleaseName(numbers.version);
}

bool CanCreateFileIn(const std::string& dir) {
    const std::string directory = StripTrailingChar(dir, kPathSeparator);
    std::string probe = directory + kPathSeparator + kProbeFileName;
    switch (platform::createNewFile(probe)) {
    case platform::NewFile::Created:
        break;
    case platform::NewFile::NameTaken: {
        // The name belongs to somebody else's file: probe under a fresh one instead.
        std::optional<std::string> unique = platform::createUniqueFile(directory, kProbeFileName);
        if (!unique) {
            return false;
        }
        probe = std::move(*unique);
        break;
    }
    case platform::NewFile::Failed:
        return false;
    }
    platform::deleteFile(probe);
    return true;
}

void HelpEnvironment::DebugLog(const char* format, ...) const {
    std::va_list arguments;
    va_start(arguments, format);
    std::va_list measuring;
    va_copy(measuring, arguments);
    // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized): va_copy above initialises it
    const int length = std::vsnprintf(nullptr, 0, format, measuring);
    va_end(measuring);
    std::string line(static_cast<std::size_t>(std::max(length, 0)), '\0');
    std::vsnprintf(line.data(), line.size() + 1, format, arguments);
    va_end(arguments);

    if (line == "-" || line == "=") {
        line = RepeatChar(line[0], 80);
    }
    if (line.starts_with('!') || line.starts_with('-') || line.starts_with('=')) {
        line.erase(0, 1);
    } else {
        line = platform::formatLongTime(std::time(nullptr)) + "   " + line;
    }
    platform::appendToFile(DebugDir + DebugLogName, platform::toAnsi(line) + "\r\n");
}

void HelpEnvironment::WriteDebugHeader() const {
    const std::string logFile = DebugDir + DebugLogName;
    platform::deleteFile(logFile);
    if (!DebugOn) {
        return;
    }
    const std::time_t now = std::time(nullptr);
    const platform::OsVersion os = platform::osVersion();
    const std::uint32_t locale = platform::userDefaultLcid();
    const std::string decimalSeparator(1, platform::DecimalSeparator);
    const std::string argument0 = Arguments.empty() ? std::string() : Arguments.front();

    DebugLog("!Filename:             \t%s", logFile.c_str());
    DebugLog("!Date:                 \t%s %s", platform::formatShortDate(now).c_str(),
             platform::formatLongTime(now).c_str());
    DebugLog("!Operating System:      \t%s %u.%u.%u", os.name.c_str(), os.major, os.minor, os.build);
    DebugLog("!SysLocale.DefaultLCID: \t%s", hexIdentifier(locale).c_str());
    DebugLog("!SysLocale.PriLangID:   \t%s", hexIdentifier(platform::primaryLangId(locale)).c_str());
    DebugLog("!SysLocale.SubLangID:   \t%s", hexIdentifier(platform::subLangId(locale)).c_str());
    DebugLog("!DecimalSeparator:      \t%s", decimalSeparator.c_str());
    DebugLog("-");
    DebugLog("!EXE Path =          \t%s", argument0.c_str());
    DebugLog("!Cmdline Param(s) =  \t%s", joinedArguments(Arguments).c_str());
    DebugLog("!_RunDir =           \t%s", RunDir.c_str());
    DebugLog("!_ModuleName =       \t%s", ModuleName.c_str());
    DebugLog("!_ModuleDir =        \t%s", ModuleDir.c_str());
    DebugLog("-");
    DebugLog("!_hhInstalled =      \t%s", YesNo(hhInstalled).c_str());
    DebugLog("!_hhVerStr =         \t%s", hhVerStr.c_str());
    DebugLog("!_hhFriendlyVerStr = \t%s", hhFriendlyVerStr.c_str());
    DebugLog("-");
    DebugLog("!_ieInstalled =      \t%s", YesNo(ieInstalled).c_str());
    DebugLog("!_ieVerStr =         \t%s", ieVerStr.c_str());
    DebugLog("!_ieFriendlyVerStr = \t%s", ieFriendlyVerStr.c_str());
    DebugLog("=");
}

HelpEnvironment::HelpEnvironment(int argc, char** argv, const std::string& helpEnginePath)
    : Arguments(argv, argv + std::max(argc, 0)) {
    // Argument 0 stands for the executable's full path, whatever the program was started with.
    if (Arguments.empty()) {
        Arguments.emplace_back();
    }
    Arguments.front() = platform::commandPath(Arguments.front());

    ModulePath = platform::executablePath();
    ModuleDir = StripTrailingChar(platform::directoryPart(ModulePath), kPathSeparator);
    ModuleName = platform::fileNamePart(ModulePath);
    RunDir = StripTrailingChar(platform::directoryPart(Arguments.front()), kPathSeparator);
    DebugDir = CanCreateFileIn(ModuleDir) ? ModuleDir : TempDirectory();
    DebugOn = platform::fileExists(ModuleDir + kPathSeparator + kMarkerFileName) ||
              (Arguments.size() > 1 && std::any_of(Arguments.begin() + 1, Arguments.end(), isDebugSwitch));

    const VersionNumbers helpEngine = GetFileVersionNumbers(helpEnginePath);
    hhVerStr = helpEngine.text;
    hhInstalled = !hhVerStr.empty();
    hhFriendlyVerStr = HelpEngineFriendlyVersion(helpEngine);

    const VersionNumbers browser = GetBrowserVersion();
    ieVerStr = browser.text;
    ieInstalled = !ieVerStr.empty();
    ieFriendlyVerStr = BrowserFriendlyVersion(browser);

    WriteDebugHeader();
}

} // namespace vimora::help
