#include "TempDir.h"
#include "help/loader/hh_funcs.h"
#include "platform/Locale.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <set>
#include <string>

using vimora::platform::FileVersion;
using namespace vimora::help;
namespace fs = std::filesystem;

namespace {

TEST(HelpEnvironmentTexts, StripRepeatAndYesNo) {
    EXPECT_EQ(StripTrailingChar("/opt/vimora///", '/'), "/opt/vimora");
    EXPECT_EQ(StripTrailingChar("/", '/'), "");
    EXPECT_EQ(StripTrailingChar("", '/'), "");
    EXPECT_EQ(StripTrailingChar("a/ /", '/'), "a/ ");
    EXPECT_EQ(StripTrailingChar("/a/b", '/'), "/a/b");
    EXPECT_EQ(RepeatChar('-', 80), std::string(80, '-'));
    EXPECT_EQ(RepeatChar('=', 0), "");
    EXPECT_EQ(RepeatChar('=', -3), "");
    EXPECT_EQ(YesNo(true), "YES");
    EXPECT_EQ(YesNo(false), "NO");
}

struct Comparison {
    const char* name;
    FileVersion a;
    FileVersion b;
    int expected;
};

class ComparesVersions : public testing::TestWithParam<Comparison> {};

TEST_P(ComparesVersions, FieldByFieldUnsigned) {
    EXPECT_EQ(CompareVersions(GetParam().a, GetParam().b), GetParam().expected);
    EXPECT_EQ(CompareVersions(GetParam().b, GetParam().a), -GetParam().expected);
}

const Comparison kComparisons[] = {
    {"Equal", {4, 74, 9273, 0}, {4, 74, 9273, 0}, 0},
    {"BuildDecides", {4, 74, 9273, 1}, {4, 74, 9273, 0}, 1},
    {"ReleaseDecides", {4, 74, 9274, 0}, {4, 74, 9273, 9}, 1},
    {"MinorBeforeRelease", {5, 50, 0, 0}, {5, 6, 9999, 9999}, 1},
    {"MajorFirst", {5, 0, 0, 0}, {4, 99, 9999, 9999}, 1},
    {"Unsigned", {65535, 0, 0, 0}, {1, 0, 0, 0}, 1},
};

INSTANTIATE_TEST_SUITE_P(Versions, ComparesVersions, testing::ValuesIn(kComparisons),
                         [](const auto& info) { return std::string(info.param.name); });

struct Release {
    const char* name;
    FileVersion version;
    const char* expected;
};

class NamesHelpEngine : public testing::TestWithParam<Release> {};

TEST_P(NamesHelpEngine, FromTheTopBound) {
    EXPECT_EQ(HelpEngineReleaseName(GetParam().version), GetParam().expected);
}

const Release kHelpEngineReleases[] = {
    {"Exactly133", {4, 74, 9273, 0}, "1.33"},   {"JustAbove133", {4, 74, 9273, 1}, "> 1.33"},
    {"Windows2003", {5, 2, 3790, 0}, "> 1.33"}, {"JustBelow133", {4, 74, 9272, 65535}, "1.32"},
    {"Exactly132", {4, 74, 8857, 0}, "1.32"},   {"JustBelow132", {4, 74, 8856, 9}, "1.31"},
    {"Exactly121a", {4, 73, 8474, 0}, "1.21a"}, {"Exactly11b", {4, 72, 8164, 0}, "1.1b"},
    {"Exactly10", {4, 72, 7290, 0}, "1.0"},     {"JustBelow10", {4, 72, 7289, 0}, "< 1.0"},
    {"ViewerEngine", {1, 0, 0, 0}, "< 1.0"},
};

INSTANTIATE_TEST_SUITE_P(Releases, NamesHelpEngine, testing::ValuesIn(kHelpEngineReleases),
                         [](const auto& info) { return std::string(info.param.name); });

class NamesBrowser : public testing::TestWithParam<Release> {};

TEST_P(NamesBrowser, FromTheTopBound) {
    EXPECT_EQ(BrowserReleaseName(GetParam().version), GetParam().expected);
}

const Release kBrowserReleases[] = {
    {"WindowsXp", {6, 0, 2600, 0}, "Internet Explorer 6 (Windows XP)"},
    {"Windows2003", {6, 0, 2800, 1106}, "> Internet Explorer 6"},
    {"JustAboveXp", {6, 0, 2600, 1}, "> Internet Explorer 6"},
    {"JustBelowXp", {6, 0, 2599, 65535}, "Internet Explorer 6 Public Preview (Beta) Refresh"},
    {"PreviewRefreshBuild", {6, 0, 2479, 5}, "Internet Explorer 6 Public Preview (Beta)"},
    {"Ie55Sp2", {5, 50, 4807, 2300}, "Internet Explorer 5.5 Service Pack 2"},
    {"Ie55", {5, 50, 4134, 600}, "Internet Explorer 5.5"},
    {"Ie55WindowsMe", {5, 50, 4134, 599}, "Internet Explorer 5.5 for Windows Me (4.90.3000)"},
    {"MinorFiveIsNot55", {5, 5, 9999, 0}, "Internet Explorer 5.01"},
    {"Ie501UpToNextBound", {5, 0, 3825, 0}, "Internet Explorer 5.01"},
    {"Ie501Rc2", {5, 0, 2919, 6306}, "Internet Explorer 5.01 (Windows 2000 RC2, build 5.00.2128)"},
    {"Ie401Sp2", {4, 72, 3612, 0}, "Internet Explorer 4.01 Service Pack 2 (SP2)"},
    {"Ie30Osr2", {4, 70, 1158, 0}, "Internet Explorer 3.0 (OSR2)"},
    {"Ie30", {4, 70, 1157, 0}, "Internet Explorer 3.0"},
    {"Plus", {4, 40, 308, 0}, "Internet Explorer 1.0 (Plus!)"},
    {"BeforePlus", {4, 40, 307, 9}, "< Internet Explorer 1.0 (Plus!)"},
};

INSTANTIATE_TEST_SUITE_P(Releases, NamesBrowser, testing::ValuesIn(kBrowserReleases),
                         [](const auto& info) { return std::string(info.param.name); });

struct Renumbering {
    const char* name;
    VersionNumbers fileVersion;
    FileVersion expected;
    const char* text;
};

class OldNumbering : public testing::TestWithParam<Renumbering> {};

TEST_P(OldNumbering, MovesTheBuildIntoTheRelease) {
    const Renumbering& c = GetParam();
    const VersionNumbers numbers = ApplyOldNumbering(c.fileVersion);
    EXPECT_EQ(numbers.version, c.expected);
    EXPECT_EQ(numbers.text, c.text);
}

const Renumbering kRenumberings[] = {
    {"Ie30Osr2", {{4, 70, 0, 1158}, "4.70.0.1158"}, {4, 70, 1158, 0}, "4.70.1158.0"},
    {"Ie20", {{4, 40, 0, 520}, "4.40.0.520"}, {4, 40, 520, 0}, "4.40.520.0"},
    {"MinorAbove70", {{4, 71, 0, 1712}, "4.71.0.1712"}, {4, 71, 0, 1712}, "4.71.0.1712"},
    {"ReleaseNotZero", {{4, 70, 1, 5}, "4.70.1.5"}, {4, 70, 1, 5}, "4.70.1.5"},
    {"MajorNotFour", {{5, 0, 0, 1}, "5.0.0.1"}, {5, 0, 0, 1}, "5.0.0.1"},
};

INSTANTIATE_TEST_SUITE_P(Versions, OldNumbering, testing::ValuesIn(kRenumberings),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(OldNumbering, NamesARealOldBrowserLibrary) {
    const VersionNumbers numbers = ApplyOldNumbering(
        GetFileVersionNumbers(std::string(VIMORA_FIXTURES_DIR) + "/shdocvw-4.70.0.1158.dll"));
    EXPECT_EQ(numbers.text, "4.70.1158.0");
    EXPECT_EQ(BrowserReleaseName(numbers.version), "Internet Explorer 3.0 (OSR2)");
    EXPECT_EQ(ApplyOldNumbering(VersionNumbers{}).text, "");
}

TEST(FriendlyVersion, NamesTheHelpEngineFromItsFile) {
    const std::string fixtures = VIMORA_FIXTURES_DIR;
    const VersionNumbers numbers = GetFileVersionNumbers(fixtures + "/hhctrl-4.74.9273.0.dll");
    EXPECT_EQ(numbers.text, "4.74.9273.0");
    EXPECT_EQ(HelpEngineFriendlyVersion(numbers), "1.33");
    EXPECT_EQ(HelpEngineFriendlyVersion(GetFileVersionNumbers(fixtures + "/no-version.dll")), "");
}

TEST(SystemDirectories, SystemDirectoryHoldsTheCLibrary) {
    const std::string directory = SystemDirectory();
    ASSERT_FALSE(directory.empty());
    EXPECT_NE(directory.back(), '/');
    EXPECT_TRUE(fs::exists(directory + "/libc.so.6")) << directory;
    // No browser library on this platform: the log shows it as not installed.
    EXPECT_EQ(GetBrowserVersion().text, "");
    EXPECT_EQ(BrowserFriendlyVersion(GetBrowserVersion()), "");
}

class TemporaryDirectoryVariable : public testing::Test {
protected:
    void SetUp() override {
        if (const char* saved = std::getenv("TMPDIR")) {
            m_saved = saved;
        }
    }
    void TearDown() override {
        if (m_saved) {
            setenv("TMPDIR", m_saved->c_str(), 1);
        } else {
            unsetenv("TMPDIR");
        }
    }
    std::optional<std::string> m_saved;
    testcommon::TemporaryDirectory m_directory;
};

TEST_F(TemporaryDirectoryVariable, GivesTheDirectoryWithoutTrailingSeparators) {
    setenv("TMPDIR", (m_directory.path().string() + "//").c_str(), 1);
    EXPECT_EQ(TempDirectory(), m_directory.path().string());
    unsetenv("TMPDIR");
    EXPECT_EQ(TempDirectory(), "/tmp");
}

TEST_F(TemporaryDirectoryVariable, FallsBackToTheDriveRoot) {
    setenv("TMPDIR", (m_directory / "missing").c_str(), 1);
    EXPECT_EQ(TempDirectory(), "");
}

class ProbeFile : public testing::Test {
protected:
    testcommon::TemporaryDirectory m_directory;
};

TEST_F(ProbeFile, LeavesNothingBehind) {
    EXPECT_TRUE(CanCreateFileIn(m_directory.path().string() + "///"));
    EXPECT_TRUE(testcommon::namesIn(m_directory.path()).empty());
}

TEST_F(ProbeFile, NeverTouchesAFileOfTheSameName) {
    testcommon::writeFile(m_directory / "$_Temp_$.$$$", "somebody's data");
    EXPECT_TRUE(CanCreateFileIn(m_directory.path().string()));
    EXPECT_EQ(testcommon::readFile(m_directory / "$_Temp_$.$$$"), "somebody's data");
    EXPECT_EQ(testcommon::namesIn(m_directory.path()), std::set<std::string>{"$_Temp_$.$$$"});

    fs::remove(m_directory / "$_Temp_$.$$$");
    fs::create_directory(m_directory / "$_Temp_$.$$$");
    EXPECT_TRUE(CanCreateFileIn(m_directory.path().string()));
    EXPECT_EQ(testcommon::namesIn(m_directory.path()), std::set<std::string>{"$_Temp_$.$$$"});
}

// Tests run as root, which may create files in any directory whatever its permissions: a missing
// directory and /proc, where nobody may create a file, stand for a read-only one.
TEST_F(ProbeFile, FailsWhereNoFileCanBeCreated) {
    EXPECT_FALSE(CanCreateFileIn(m_directory / "missing"));
    EXPECT_FALSE(CanCreateFileIn("/proc/self"));
}

class DebugLogFile : public testing::Test {
protected:
    void SetUp() override { m_environment.DebugDir = m_directory.path().string(); }
    std::string logFile() const { return m_environment.DebugDir + HelpEnvironment::DebugLogName; }
    testcommon::TemporaryDirectory m_directory;
    HelpEnvironment m_environment;
};

TEST_F(DebugLogFile, WritesMarkedLinesAndSeparatorsAsWindows1252) {
    m_environment.DebugLog("!Dossier :\t%s", "Données é");
    m_environment.DebugLog("-");
    m_environment.DebugLog("=");
    m_environment.DebugLog("-%d", 42);
    m_environment.DebugLog("=x");
    EXPECT_EQ(testcommon::readFile(logFile()), "Dossier :\tDonn\xE9"
                                               "es \xE9\r\n" +
                                                   std::string(79, '-') + "\r\n" + std::string(79, '=') +
                                                   "\r\n42\r\nx\r\n");
    EXPECT_EQ(fs::status(logFile()).permissions(), fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(DebugLogFile, PutsTheTimeBeforeUnmarkedLines) {
    const std::time_t before = std::time(nullptr);
    m_environment.DebugLog("Plain %d", 7);
    m_environment.DebugLog("%s", "");
    const std::time_t after = std::time(nullptr);
    const std::string log = testcommon::readFile(logFile());
    bool matched = false;
    for (std::time_t t = before; t <= after; ++t) {
        const std::string time = vimora::platform::formatLongTime(t);
        matched = matched || log == time + "   Plain 7\r\n" + time + "   \r\n";
    }
    EXPECT_TRUE(matched) << log;
}

TEST_F(DebugLogFile, NeverWritesThroughASymbolicLink) {
    testcommon::TemporaryDirectory elsewhere;
    testcommon::writeFile(elsewhere / "victim.txt", "keep me");
    fs::create_symlink(elsewhere / "victim.txt", logFile());
    m_environment.DebugLog("!planted");
    EXPECT_EQ(testcommon::readFile(elsewhere / "victim.txt"), "keep me");
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(logFile())));

    // The next start removes the link itself, never its target.
    m_environment.WriteDebugHeader();
    EXPECT_FALSE(fs::exists(fs::symlink_status(logFile())));
    EXPECT_EQ(testcommon::readFile(elsewhere / "victim.txt"), "keep me");
}

TEST_F(DebugLogFile, DropsLinesThatCannotBeWritten) {
    m_environment.DebugDir = m_directory / "missing";
    m_environment.DebugLog("!lost");
    EXPECT_FALSE(fs::exists(logFile()));
}

TEST_F(DebugLogFile, HeaderDeletesAnEarlierLogWhenOff) {
    testcommon::writeFile(logFile(), "earlier run\r\n");
    m_environment.DebugOn = false;
    m_environment.WriteDebugHeader();
    EXPECT_FALSE(fs::exists(logFile()));
}

} // namespace
