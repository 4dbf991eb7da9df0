#include "platform/Paths.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

using namespace vimora::platform;
namespace fs = std::filesystem;

namespace {

// Argument 0 as the executable's full path, whether the program was started by a relative
// path or by a bare name found along $PATH.
TEST(CommandPath, RelativePathsAndNamesOnPathAreMadeFull) {
    testcommon::TemporaryDirectory directory;
    const fs::path program = directory.path() / "bin dir" / "vimora";
    fs::create_directories(program.parent_path());
    testcommon::writeFile(program, "#!/bin/sh\n");
    fs::permissions(program, fs::perms::owner_all);

    const fs::path saved = fs::current_path();
    fs::current_path(directory.path());
    EXPECT_EQ(fullCommandPath("bin dir/../bin dir/vimora"), program.string());
    EXPECT_EQ(fullCommandPath("./bin dir/vimora"), program.string());
    fs::current_path(saved);
    EXPECT_EQ(fullCommandPath(program.string()), program.string());

    const std::string savedPath = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    setenv("PATH", ("/nonexistent:" + program.parent_path().string()).c_str(), 1);
    EXPECT_EQ(fullCommandPath("vimora"), program.string());
    EXPECT_EQ(fullCommandPath("vimora-absent"), "vimora-absent");
    setenv("PATH", savedPath.c_str(), 1);
}

} // namespace
