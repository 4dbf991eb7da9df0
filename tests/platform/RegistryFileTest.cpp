#include "platform/RegistryFile.h"
#include "Deadline.h"
#include "TempDir.h"
#include "platform/Registry.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <optional>
#include <string>

using vimora::platform::RegistryFile;

namespace {

constexpr const char* kKey =
    R"(HKEY_CLASSES_ROOT\CLSID\{adb880a6-d8ff-11cf-9377-00aa003b7a11}\InprocServer32)";

struct Case {
    const char* name;
    std::string text;
    const char* valueName;
    std::optional<std::string> expected;
};

class ReadsRegistryFile : public testing::TestWithParam<Case> {};

TEST_P(ReadsRegistryFile, GivesTheValueAsStored) {
    const Case& c = GetParam();
    EXPECT_EQ(RegistryFile::parse(c.text).readString(kKey, c.valueName), c.expected);
}

std::string regedit4(const std::string& body) {
    return "REGEDIT4\r\n\r\n" + body;
}
std::string section(const char* key = kKey) {
    return std::string("[") + key + "]\r\n";
}

const Case kWellFormed[] = {
    {"WindowsPathWithEscapes", regedit4(section() + R"(@="C:\\WINDOWS\\System32\\hhctrl.ocx")" + "\r\n"), "",
     R"(C:\WINDOWS\System32\hhctrl.ocx)"},
    {"EscapedQuotes", regedit4(section() + R"(@="\"/opt/help engine.so\"")" + "\n"), "",
     R"("/opt/help engine.so")"},
    {"EnvironmentReferenceKept", regedit4(section() + R"(@="%SystemRoot%/hhctrl.ocx")" + "\n"), "",
     "%SystemRoot%/hhctrl.ocx"},
    {"Version5HeaderInEightBitText",
     "Windows Registry Editor Version 5.00\n\n" + section() + "@=\"/usr/lib/vimora/libvimorahelp.so.1\"\n",
     "", "/usr/lib/vimora/libvimorahelp.so.1"},
    {"UnixLineEndsAndNoFinalLineEnd", "REGEDIT4\n" + section() + "@=\"/a.so\"", "", "/a.so"},
    {"NamedValueAndDefaultValue", regedit4(section() + "\"ThreadingModel\"=\"Apartment\"\r\n@=\"/a.so\"\r\n"),
     "threadingmodel", "Apartment"},
    {"KeyNamesWithoutCase",
     regedit4(section(R"(hkey_classes_root\clsid\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\inprocserver32)") +
              "@=\"/a.so\"\r\n"),
     "", "/a.so"},
    {"CommentsAndIndentation",
     regedit4("; registered by the build\r\n" + section() + "  ; the engine\r\n  @ = \"/a.so\"  \r\n"), "",
     "/a.so"},
    {"LaterValueWins", regedit4(section() + "@=\"/old.so\"\r\n" + section() + "@=\"/new.so\"\r\n"), "",
     "/new.so"},
    {"OtherKindsSkipped",
     regedit4(section() + "\"Flags\"=dword:00000001\r\n\"Data\"=hex:01,02,\\\r\n  03\r\n@=\"/a.so\"\r\n"),
     "Flags", std::nullopt},
    {"ExpandableStringUnexpanded", regedit4(section() + "@=hex(2):25,48,4f,4d,45,25,2f,61,2e,73,6f,00\r\n"),
     "", "%HOME%/a.so"},
    {"ExpandableStringVersion5OnTwoLines",
     "Windows Registry Editor Version 5.00\r\n\r\n" + section() +
         "@=hex(2):25,00,48,00,4f,00,4d,00,45,00,25,00,2f,00,\\\r\n  e9,00,00,00\r\n",
     "", "%HOME%/\xC3\xA9"},
    {"NoDefaultValue", regedit4(section() + "\"ThreadingModel\"=\"Apartment\"\r\n"), "", std::nullopt},
    {"OtherKeyOnly",
     regedit4(section(R"(HKEY_CLASSES_ROOT\CLSID\{00000000-0000-0000-0000-000000000000})") +
              "@=\"/a.so\"\r\n"),
     "", std::nullopt},
    {"ParentKeyOnly", regedit4(section(R"(HKEY_CLASSES_ROOT\CLSID)") + "@=\"/a.so\"\r\n"), "", std::nullopt},
};

INSTANTIATE_TEST_SUITE_P(WellFormed, ReadsRegistryFile, testing::ValuesIn(kWellFormed),
                         [](const auto& info) { return std::string(info.param.name); });

// Each of these holds the engine's registration next to one fault: nothing of the file is read.
const Case kMalformed[] = {
    {"Empty", "", "", std::nullopt},
    {"NoHeader", section() + "@=\"/a.so\"\r\n", "", std::nullopt},
    {"UnknownHeader", "REGEDIT5\r\n" + section() + "@=\"/a.so\"\r\n", "", std::nullopt},
    {"UnknownEscape", regedit4(section() + R"(@="C:\Windows\hhctrl.ocx")" + "\r\n"), "", std::nullopt},
    {"UnterminatedString", regedit4(section() + "@=\"/a.so\r\n"), "", std::nullopt},
    {"TextAfterString", regedit4(section() + "@=\"/a.so\" ; engine\r\n"), "", std::nullopt},
    {"ValueBeforeAnyKey", regedit4("@=\"/b.so\"\r\n" + section() + "@=\"/a.so\"\r\n"), "", std::nullopt},
    {"MissingEquals", regedit4(section() + "@=\"/a.so\"\r\n\"Name\" \"x\"\r\n"), "", std::nullopt},
    {"KeyDeletion", regedit4(section() + "@=\"/a.so\"\r\n[-HKEY_CLASSES_ROOT\\CLSID]\r\n"), "", std::nullopt},
    {"UnclosedSection", regedit4(section() + "@=\"/a.so\"\r\n[HKEY_CLASSES_ROOT\\x\r\n"), "", std::nullopt},
    {"BadHexByte", regedit4(section() + "@=\"/a.so\"\r\n\"Data\"=hex:01,zz\r\n"), "", std::nullopt},
    {"ContinuationAtEnd", regedit4(section() + "@=\"/a.so\"\r\n\"Data\"=hex:01,\\"), "", std::nullopt},
    {"BadDword", regedit4(section() + "@=\"/a.so\"\r\n\"Flags\"=dword:123456789\r\n"), "", std::nullopt},
    {"ValueDeletion", regedit4(section() + "@=\"/a.so\"\r\n\"Name\"=-\r\n"), "", std::nullopt},
    {"StrayText", regedit4(section() + "@=\"/a.so\"\r\nInprocServer32\r\n"), "", std::nullopt},
};

INSTANTIATE_TEST_SUITE_P(Malformed, ReadsRegistryFile, testing::ValuesIn(kMalformed),
                         [](const auto& info) { return std::string(info.param.name); });

// What the registry editor writes: UTF-16LE with a byte order mark.
std::string utf16le(std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

TEST(RegistryFile, ReadsUnicodeExports) {
    const std::string bytes = utf16le(u"Windows Registry Editor Version 5.00\r\n\r\n"
                                      u"[HKEY_CLASSES_ROOT\\CLSID\\{adb880a6-d8ff-11cf-9377-00aa003b7a11}\\"
                                      u"InprocServer32]\r\n@=\"/opt/Aide et données/engine.so\"\r\n");
    EXPECT_EQ(RegistryFile::parse(bytes).readString(kKey, ""), "/opt/Aide et donn\xC3\xA9"
                                                               "es/engine.so");
    EXPECT_EQ(RegistryFile::parse(bytes.substr(0, bytes.size() - 1)).readString(kKey, ""), std::nullopt);
}

class RegistryFileLocation : public testing::Test {
protected:
    void TearDown() override { unsetenv("VIMORA_REGISTRY"); }
    testcommon::TemporaryDirectory m_directory;
};

TEST_F(RegistryFileLocation, IsTheNamedFileWhenSet) {
    const std::string file = m_directory / "other registry.reg";
    testcommon::writeFile(file, "REGEDIT4\n[HKEY_CLASSES_ROOT\\Vimora\\Test]\n@=\"named\"\n");
    setenv("VIMORA_REGISTRY", file.c_str(), 1);
    EXPECT_EQ(vimora::platform::registryFilePath(), file);
    EXPECT_EQ(vimora::platform::readRegistryString(vimora::platform::kClassesRoot, "vimora\\test", ""),
              "named");
}

TEST_F(RegistryFileLocation, IsBesideTheExecutableOtherwise) {
    const std::string executable = std::filesystem::read_symlink("/proc/self/exe").string();
    EXPECT_EQ(vimora::platform::registryFilePath(),
              executable.substr(0, executable.rfind('/')) + "/registry.reg");
}

TEST_F(RegistryFileLocation, GivesNothingWhenTheFileIsMissingOrTooLarge) {
    setenv("VIMORA_REGISTRY", (m_directory / "missing.reg").c_str(), 1);
    EXPECT_EQ(vimora::platform::readRegistryString(vimora::platform::kClassesRoot, "Vimora\\Test", ""),
              std::nullopt);

    const std::string large = m_directory / "large.reg";
    testcommon::writeFile(large, "REGEDIT4\n[HKEY_CLASSES_ROOT\\Vimora\\Test]\n@=\"large\"\n" +
                                     std::string(2 << 20, ';') + "\n");
    setenv("VIMORA_REGISTRY", large.c_str(), 1);
    EXPECT_EQ(vimora::platform::readRegistryString(vimora::platform::kClassesRoot, "Vimora\\Test", ""),
              std::nullopt);
}

// Reading a FIFO would wait for a writer forever: the registry is read without blocking, from a
// regular file only.
TEST_F(RegistryFileLocation, GivesNothingForAFifo) {
    const std::string fifo = m_directory / "registry.reg";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    setenv("VIMORA_REGISTRY", fifo.c_str(), 1);
    EXPECT_TRUE(testcommon::trueWithin(10, [] {
        return !vimora::platform::readRegistryString(vimora::platform::kClassesRoot, "Vimora\\Test", "");
    }));
}

} // namespace
