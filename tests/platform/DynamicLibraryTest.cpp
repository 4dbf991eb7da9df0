#include "platform/DynamicLibrary.h"
#include "NamedRows.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <elf.h>
#include <link.h>

#include <cstddef>
#include <cstring>
#include <string>

using namespace vimora::platform;

namespace {

struct Damage {
    const char* name;
    // Applied to the library's bytes; a row that changes nothing must load.
    void (*apply)(std::string& bytes);
    bool loads;
};

ElfW(Ehdr) & header(std::string& bytes) {
    return *reinterpret_cast<ElfW(Ehdr)*>(bytes.data());
}

const Damage kDamages[] = {
    {"Whole", [](std::string&) {}, true},
    // The loader died of SIGBUS on such a file: its segments are mapped past the end.
    {"CutTo4KiB", [](std::string& bytes) { bytes.resize(4096); }, false},
    {"ProgramHeadersPastTheEnd", [](std::string& bytes) { header(bytes).e_phoff = bytes.size() - 8; }, false},
    {"AnotherMachine", [](std::string& bytes) { header(bytes).e_machine = EM_S390; }, false},
};

class DamagedLibrary : public testing::TestWithParam<Damage> {};

TEST_P(DamagedLibrary, LoadsOnlyWhenWhole) {
    const Damage& damage = GetParam();
    std::string bytes = testcommon::readFile(VIMORA_LOADABLE_LIBRARY);
    ASSERT_GT(bytes.size(), std::size_t{8192});
    damage.apply(bytes);
    testcommon::TemporaryDirectory directory;
    const std::string path = (directory.path() / "libloadable.so").string();
    testcommon::writeFile(path, bytes);

    std::string error;
    LibraryHandle library = loadLibrary(path, error);
    if (!damage.loads) {
        EXPECT_EQ(library, nullptr);
        EXPECT_NE(error.find(path), std::string::npos) << error;
        return;
    }
    ASSERT_NE(library, nullptr) << error;
    const auto answer = reinterpret_cast<int (*)()>(librarySymbol(library, "vimoraLoadableAnswer", error));
    ASSERT_NE(answer, nullptr) << error;
    EXPECT_EQ(answer(), 42);
    freeLibrary(library);
}

INSTANTIATE_TEST_SUITE_P(Libraries, DamagedLibrary, testing::ValuesIn(kDamages), vimora::test::RowName());

} // namespace
