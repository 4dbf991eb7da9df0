// The diagnostic log as the real program writes it at start-up, from a copy of the program in a
// directory of its own (the program finds its directory through /proc/self/exe).
#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/utsname.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// "é" as the file system holds it, and as the Windows-1252 log writes it.
constexpr const char* kProgramFolder = "Programme \xC3\xA9";
constexpr const char* kProgramFolderAnsi = "Programme \xE9";

const std::string kSeparator(79, '-');

std::string quoted(const std::string& argument) {
    std::string result = "'";
    for (char c : argument) {
        result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return result + "'";
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    EXPECT_EQ(start, text.size()) << "text after the last CR LF";
    return lines;
}

class ProgramLog : public testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(m_programDir);
        fs::create_directories(m_tempDir);
        fs::copy_file(VIMORA_PROGRAM, m_program);
        fs::copy_file(VIMORA_PROGRAM_REGISTRY, m_programDir / "registry.reg");
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("VIMORA_QUIT_AFTER_START", "1", 1);
        setenv("LC_ALL", "C.UTF-8", 1);
        unsetenv("VIMORA_REGISTRY");
        std::setlocale(LC_ALL, "C.UTF-8");
    }

    // Runs the program with its full path as argument 0; `wrapper` is a shell command line
    // that ends with the program's own command line.
    int run(const std::vector<std::string>& arguments, const std::string& wrapper = "") const {
        std::string command =
            "TMPDIR=" + quoted(m_tempDir.string()) + " timeout 60 " + wrapper + quoted(m_program.string());
        for (const std::string& argument : arguments) {
            command += ' ' + quoted(argument);
        }
        return std::system((command + " 2>/dev/null").c_str());
    }

    std::string log() const { return testcommon::readFile(m_programDir / "HHDebug.txt"); }
    bool hasLog() const { return fs::exists(fs::symlink_status(m_programDir / "HHDebug.txt")); }

    testcommon::TemporaryDirectory m_root;
    const fs::path m_programDir = m_root.path() / kProgramFolder;
    const fs::path m_program = m_programDir / "vimora";
    const fs::path m_tempDir = m_root.path() / "tmp";
};

TEST_F(ProgramLog, HeaderDescribesTheHelpEnvironment) {
    const std::time_t before = std::time(nullptr);
    ASSERT_EQ(run({"-Debug", "deuxième argument"}), 0);
    const std::time_t after = std::time(nullptr);

    utsname system{};
    ASSERT_EQ(uname(&system), 0);
    unsigned kernel[3] = {};
    std::sscanf(system.release, "%u.%u.%u", &kernel[0], &kernel[1], &kernel[2]);
    char os[128];
    std::snprintf(os, sizeof os, "%s %u.%u.%u", system.sysname, kernel[0], kernel[1], kernel[2]);

    const std::string dir = m_root.path().string() + "/" + kProgramFolderAnsi;
    const std::vector<std::string> expected = {
        "Filename:             \t" + dir + "/HHDebug.txt",
        "Date:                 \t(checked below)",
        "Operating System:      \t" + std::string(os),
        "SysLocale.DefaultLCID: \t0x007F",
        "SysLocale.PriLangID:   \t0x007F",
        "SysLocale.SubLangID:   \t0x0000",
        "DecimalSeparator:      \t.",
        kSeparator,
        "EXE Path =          \t" + dir + "/vimora",
        "Cmdline Param(s) =  \t-Debug | deuxi\xE8me argument",
        "_RunDir =           \t" + dir,
        "_ModuleName =       \tvimora",
        "_ModuleDir =        \t" + dir,
        kSeparator,
        "_hhInstalled =      \tYES",
        "_hhVerStr =         \t1.0.0.0",
        "_hhFriendlyVerStr = \t< 1.0",
        kSeparator,
        "_ieInstalled =      \tNO",
        "_ieVerStr =         \t",
        "_ieFriendlyVerStr = \t",
        std::string(79, '='),
    };
    std::vector<std::string> lines = linesOf(log());
    ASSERT_EQ(lines.size(), expected.size()) << log();

    // The C locale's short date and long time, at some second of the run.
    std::set<std::string> dates;
    for (std::time_t t = before; t <= after; ++t) {
        char text[64];
        std::tm local{};
        localtime_r(&t, &local);
        std::strftime(text, sizeof text, "Date:                 \t%m/%d/%y %H:%M:%S", &local);
        dates.insert(text);
    }
    EXPECT_TRUE(dates.contains(lines[1])) << lines[1];
    lines[1] = expected[1];
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(lines[i], expected[i]) << "line " << i + 1;
    }
    EXPECT_EQ(testcommon::namesIn(m_programDir),
              (std::set<std::string>{"HHDebug.txt", "registry.reg", "vimora"}));
}

struct Switch {
    const char* name;
    std::vector<std::string> arguments;
    bool marker;
    bool logged;
};

class DebugSwitch : public ProgramLog, public testing::WithParamInterface<Switch> {};

TEST_P(DebugSwitch, TurnsTheLogOn) {
    const Switch& c = GetParam();
    testcommon::writeFile(m_programDir / "HHDebug.txt", "earlier run\r\n");
    if (c.marker) {
        testcommon::writeFile(m_programDir / "debug.debug", "");
    }
    ASSERT_EQ(run(c.arguments), 0);

    EXPECT_EQ(hasLog(), c.logged);
    if (c.logged) {
        EXPECT_TRUE(log().starts_with("Filename:")) << log();
    }
    std::set<std::string> names = {"registry.reg", "vimora"};
    if (c.marker) {
        names.insert("debug.debug");
    }
    if (c.logged) {
        names.insert("HHDebug.txt");
    }
    EXPECT_EQ(testcommon::namesIn(m_programDir), names);
}

const Switch kSwitches[] = {
    {"MarkerFile", {}, true, true},
    {"SlashUpperCase", {"/DEBUG"}, false, true},
    {"DashMixedCase", {"-Debug"}, false, true},
    {"AfterOtherArguments", {"patient", "/debug"}, false, true},
    {"Suffixed", {"/debugx"}, false, false},
    {"WithoutSlash", {"debug"}, false, false},
    {"NoSwitch", {}, false, false},
};

INSTANTIATE_TEST_SUITE_P(CommandLine, DebugSwitch, testing::ValuesIn(kSwitches),
                         [](const auto& info) { return std::string(info.param.name); });

struct StartedAs {
    const char* name;
    const char* argument0;
};

class ArgumentZero : public ProgramLog, public testing::WithParamInterface<StartedAs> {};

// Whatever the starter puts in argument 0, the log shows the running executable's own path.
TEST_P(ArgumentZero, IsTheExecutablesPathInTheLog) {
    const std::string wrapper = R"(bash -c 'exec -a "$0" "$@"' )" + quoted(GetParam().argument0) + " ";
    ASSERT_EQ(run({"/debug"}, wrapper), 0);
    const std::string dir = m_root.path().string() + "/" + kProgramFolderAnsi;
    EXPECT_NE(log().find("\r\nEXE Path =          \t" + dir + "/vimora\r\n"), std::string::npos) << log();
    EXPECT_NE(log().find("\r\n_RunDir =           \t" + dir + "\r\n"), std::string::npos) << log();
}

const StartedAs kStarts[] = {
    {"AnotherName", "foo"},
    {"Empty", ""},
    {"AbsolutePathOfNothing", "/nonexistent/vimora"},
};

INSTANTIATE_TEST_SUITE_P(Starters, ArgumentZero, testing::ValuesIn(kStarts),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProgramLog, ProbeNeverTouchesAnExistingFile) {
    testcommon::writeFile(m_programDir / "$_Temp_$.$$$", "données d'un autre");
    ASSERT_EQ(run({"/debug"}), 0);
    EXPECT_EQ(testcommon::readFile(m_programDir / "$_Temp_$.$$$"), "données d'un autre");
    EXPECT_TRUE(
        log().starts_with("Filename:             \t" + m_root.path().string() + "/" + kProgramFolderAnsi));
    EXPECT_EQ(testcommon::namesIn(m_programDir),
              (std::set<std::string>{"$_Temp_$.$$$", "HHDebug.txt", "registry.reg", "vimora"}));
}

TEST_F(ProgramLog, LinkAtTheLogsPathIsNotFollowed) {
    testcommon::writeFile(m_root.path() / "victim.txt", "keep me");
    fs::create_symlink(m_root.path() / "victim.txt", m_programDir / "HHDebug.txt");
    ASSERT_EQ(run({"/debug"}), 0);
    EXPECT_EQ(testcommon::readFile(m_root.path() / "victim.txt"), "keep me");
    EXPECT_FALSE(fs::is_symlink(fs::symlink_status(m_programDir / "HHDebug.txt")));
    EXPECT_TRUE(log().starts_with("Filename:")) << log();
}

// Root writes into any directory whatever its permissions; a read-only mount stops it too. The
// mount is private to the program's own mount namespace.
TEST_F(ProgramLog, ReadOnlyProgramDirectorySendsTheLogToTheTemporaryDirectory) {
    if (std::system("unshare --mount true 2>/dev/null") != 0) {
        GTEST_SKIP() << "no mount namespace here to make a read-only directory";
    }
    const std::string dir = quoted(m_programDir.string());
    const std::string wrapper =
        "unshare --mount sh -c 'mount --bind \"$0\" \"$0\" && mount -o remount,ro,bind \"$0\" "
        "\"$0\" && exec \"$@\"' " +
        dir + " ";
    ASSERT_EQ(run({"/debug"}, wrapper), 0);

    EXPECT_EQ(testcommon::namesIn(m_programDir), (std::set<std::string>{"registry.reg", "vimora"}));
    const std::string log = testcommon::readFile(m_tempDir / "HHDebug.txt");
    EXPECT_TRUE(log.starts_with("Filename:             \t" + m_tempDir.string() + "/HHDebug.txt\r\n")) << log;
    EXPECT_NE(log.find("_ModuleDir =        \t" + m_root.path().string() + "/" + kProgramFolderAnsi + "\r\n"),
              std::string::npos);
}

} // namespace
