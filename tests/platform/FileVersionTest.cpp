#include "platform/FileVersion.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

using vimora::platform::FileVersion;
using vimora::platform::fileVersion;
namespace fs = std::filesystem;

namespace {

const std::string kFixtures = VIMORA_FIXTURES_DIR;

std::vector<unsigned char> bytesOf(const std::string& path) {
    const std::string text = testcommon::readFile(path);
    return {text.begin(), text.end()};
}

TEST(FileVersion, ReadsTheVersionResourceOfPeImages) {
    EXPECT_EQ(fileVersion(kFixtures + "/hhctrl-4.74.9273.0.dll"), (FileVersion{4, 74, 9273, 0}));
    EXPECT_EQ(fileVersion(kFixtures + "/shdocvw-4.70.0.1158.dll"), (FileVersion{4, 70, 0, 1158}));
}

TEST(FileVersion, IsEmptyWithoutAVersionRecord) {
    for (const std::string& path : {kFixtures + "/no-version.dll", kFixtures + "/version.rc", kFixtures,
                                    kFixtures + "/missing.dll", std::string()}) {
        EXPECT_EQ(fileVersion(path), std::nullopt) << path;
    }
}

TEST(FileVersion, RejectsAWrongSignature) {
    std::vector<unsigned char> image = bytesOf(kFixtures + "/hhctrl-4.74.9273.0.dll");
    const unsigned char signature[] = {0xBD, 0x04, 0xEF, 0xFE};
    const auto at = std::search(image.begin(), image.end(), std::begin(signature), std::end(signature));
    ASSERT_NE(at, image.end());
    ASSERT_EQ(vimora::platform::readPeFileVersion(image), (FileVersion{4, 74, 9273, 0}));
    *at = 0xBE;
    EXPECT_EQ(vimora::platform::readPeFileVersion(image), std::nullopt);
}

// Cut anywhere, an image gives nothing until it holds the whole version record, and never reads
// past its end.
TEST(FileVersion, SurvivesTruncatedImages) {
    const std::vector<unsigned char> image = bytesOf(kFixtures + "/shdocvw-4.70.0.1158.dll");
    const FileVersion expected{4, 70, 0, 1158};
    bool complete = false;
    for (std::size_t length = 0; length <= image.size(); ++length) {
        const std::vector<unsigned char> truncated(image.begin(), image.begin() + static_cast<long>(length));
        const auto version = vimora::platform::readPeFileVersion(truncated);
        complete = complete || version.has_value();
        EXPECT_EQ(version, complete ? std::optional(expected) : std::nullopt) << "cut at " << length;
    }
    EXPECT_TRUE(complete);
}

class SharedObject : public testing::Test {
protected:
    // Any ELF file will do: this test program.
    std::string install(const std::string& name, const char* source = "/proc/self/exe") const {
        const std::string path = m_directory / name;
        fs::copy_file(source, path);
        return path;
    }
    testcommon::TemporaryDirectory m_directory;
};

TEST_F(SharedObject, TakesItsVersionFromTheResolvedFileName) {
    install("libengine.so.2.3.4");
    fs::create_symlink("libengine.so.2.3.4", m_directory / "libengine.so.2");
    fs::create_symlink("libengine.so.2", m_directory / "libengine.so");
    EXPECT_EQ(fileVersion(m_directory / "libengine.so"), (FileVersion{2, 3, 4, 0}));
    EXPECT_EQ(fileVersion(install("libother.so.7")), (FileVersion{7, 0, 0, 0}));
    EXPECT_EQ(fileVersion(install("libplain.so")), std::nullopt);

    testcommon::writeFile(m_directory / "notes.so.1.2", "not an ELF file\n");
    EXPECT_EQ(fileVersion(m_directory / "notes.so.1.2"), std::nullopt);
}

struct NameCase {
    const char* name;
    const char* fileName;
    std::optional<FileVersion> expected;
};

class SharedObjectName : public testing::TestWithParam<NameCase> {};

TEST_P(SharedObjectName, GivesTheNumbersAfterSo) {
    EXPECT_EQ(vimora::platform::parseSharedObjectVersion(GetParam().fileName), GetParam().expected);
}

const NameCase kNames[] = {
    {"ViewerEngine", "libvimorahelp.so.1.0.0", FileVersion{1, 0, 0, 0}},
    {"OneNumber", "libc.so.6", FileVersion{6, 0, 0, 0}},
    {"FourNumbers", "libx.so.1.2.3.4", FileVersion{1, 2, 3, 4}},
    {"LargestField", "libx.so.65535.0", FileVersion{65535, 0, 0, 0}},
    {"LastSoCounts", "libx.so.1.so.2", FileVersion{2, 0, 0, 0}},
    {"FiveNumbers", "libx.so.1.2.3.4.5", std::nullopt},
    {"FieldTooLarge", "libx.so.65536", std::nullopt},
    {"Letters", "libx.so.1a", std::nullopt},
    {"EmptyField", "libx.so.1..2", std::nullopt},
    {"NothingAfterSo", "libx.so.", std::nullopt},
    {"Unversioned", "libx.so", std::nullopt},
};

INSTANTIATE_TEST_SUITE_P(FileNames, SharedObjectName, testing::ValuesIn(kNames),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
