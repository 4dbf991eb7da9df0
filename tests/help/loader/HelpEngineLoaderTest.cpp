#include "Deadline.h"
#include "TempDir.h"
#include "help/loader/hh.h"
#include "help/loader/hh_funcs.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

using namespace vimora::help;
namespace fs = std::filesystem;

namespace {

// Whether the library at `path` is mapped into the process, without loading it.
bool isLoaded(const std::string& path) {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (library != nullptr) {
        dlclose(library);
    }
    return library != nullptr;
}

std::string escaped(const std::string& text) {
    std::string result;
    for (char c : text) {
        if (c == '\\' || c == '"') {
            result += '\\';
        }
        result += c;
    }
    return result;
}

class HelpEngineLoading : public testing::Test {
protected:
    void SetUp() override { setenv("VIMORA_REGISTRY", m_registry.c_str(), 1); }
    void TearDown() override {
        unsetenv("VIMORA_REGISTRY");
        unsetenv("ENGINE_DIR");
    }

    void registerEngine(const std::string& path) const {
        testcommon::writeFile(m_registry, "REGEDIT4\r\n\r\n[HKEY_CLASSES_ROOT\\" +
                                              std::string(kHelpEngineKey) + "]\r\n@=\"" + escaped(path) +
                                              "\"\r\n");
    }

    // A copy of a test engine at `relative` in the test's directory, so that each test loads its own.
    std::string copyOf(const char* library, const std::string& relative) const {
        const fs::path copy = m_directory.path() / relative;
        fs::create_directories(copy.parent_path());
        fs::copy_file(library, copy);
        return copy.string();
    }

    testcommon::TemporaryDirectory m_directory;
    const std::string m_registry = m_directory / "registry.reg";
};

TEST_F(HelpEngineLoading, LoadsTheRegisteredEngineOnce) {
    const std::string engine = copyOf(VIMORA_TEST_ENGINE, "engine/libhelpengine.so");
    registerEngine(engine);
    EXPECT_EQ(LocateHelpEngine(), engine);

    HelpEngineLoader loader;
    ASSERT_NE(loader.HelpEngineModule(), nullptr);
    ASSERT_NE(loader.HelpEngineEntry(), nullptr);
    EXPECT_EQ(reinterpret_cast<void*>(loader.HelpEngineEntry()),
              dlsym(loader.HelpEngineModule(), "HtmlHelpA"));
    const vimora::platform::LibraryHandle first = loader.HelpEngineModule();

    loader.LoadHelpEngine();
    EXPECT_EQ(loader.HelpEngineModule(), first);

    // Loaded twice, one unload would leave it mapped.
    loader.UnloadHelpEngine();
    EXPECT_EQ(loader.HelpEngineModule(), nullptr);
    EXPECT_EQ(loader.HelpEngineEntry(), nullptr);
    EXPECT_FALSE(isLoaded(engine));
}

TEST_F(HelpEngineLoading, UnloadsOnlyWhatIsLoaded) {
    HelpEngineLoader none{std::string()};
    none.UnloadHelpEngine();
    EXPECT_EQ(none.HelpEngineModule(), nullptr);

    const std::string engine = copyOf(VIMORA_TEST_ENGINE, "libhelpengine.so");
    registerEngine(engine);
    {
        HelpEngineLoader loader;
        ASSERT_NE(loader.HelpEngineEntry(), nullptr);
        loader.UnloadHelpEngine();
        loader.UnloadHelpEngine();
        EXPECT_EQ(loader.HelpEngineModule(), nullptr);
        EXPECT_EQ(loader.HelpEngineEntry(), nullptr);
        EXPECT_FALSE(isLoaded(engine));
        loader.LoadHelpEngine();
        ASSERT_TRUE(isLoaded(engine));
    }
    // The loader's end unloads the engine.
    EXPECT_FALSE(isLoaded(engine));
}

TEST_F(HelpEngineLoading, PassesPathsWithSpacesAndAccentsUnchanged) {
    const std::string engine = copyOf(VIMORA_TEST_ENGINE, "Aide et données é/libhelpengine.so");
    registerEngine(engine);
    const HelpEngineLoader loader;
    ASSERT_NE(loader.HelpEngineEntry(), nullptr);

    const std::string helpFile =
        (m_directory.path() / "Mes Documents/Vimora XP à jour/VimoraXP.chm").string();
    loader.HelpEngineEntry()(vimora::platform::desktopWindow(), helpFile.c_str(),
                             vimora::platform::kHhDisplayTopic, 0);

    const auto lastFile =
        reinterpret_cast<const char* (*)()>(dlsym(loader.HelpEngineModule(), "TestEngineLastFile"));
    const auto lastCommand =
        reinterpret_cast<std::uint32_t (*)()>(dlsym(loader.HelpEngineModule(), "TestEngineLastCommand"));
    ASSERT_NE(lastFile, nullptr);
    EXPECT_EQ(std::string(lastFile()), helpFile);
    EXPECT_EQ(lastCommand(), vimora::platform::kHhDisplayTopic);
}

// A library without "HtmlHelpA" is loaded and kept, with no entry point to call, until unloaded.
TEST_F(HelpEngineLoading, KeepsALibraryWithoutTheEntryPointButNoEntry) {
    const std::string engine = copyOf(VIMORA_NO_ENTRY_ENGINE, "engine/libhelpengine.so");
    registerEngine(engine);
    HelpEngineLoader loader;
    EXPECT_NE(loader.HelpEngineModule(), nullptr);
    EXPECT_EQ(loader.HelpEngineEntry(), nullptr);
    EXPECT_NE(loader.HelpEngineLoadError().find("HtmlHelpA"), std::string::npos)
        << loader.HelpEngineLoadError();
    EXPECT_TRUE(isLoaded(engine));
    loader.UnloadHelpEngine();
    EXPECT_EQ(loader.HelpEngineModule(), nullptr);
    EXPECT_FALSE(isLoaded(engine));
}

// Opening a FIFO to load it would wait for a writer forever: only a regular file is an engine.
TEST_F(HelpEngineLoading, RegisteredFifoIsNoEngine) {
    const std::string fifo = m_directory / "libhelpengine.so";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    registerEngine(fifo);
    EXPECT_TRUE(testcommon::trueWithin(10, [] {
        const HelpEngineLoader loader;
        return loader.HelpEngineModule() == nullptr && loader.enginePath().empty();
    }));
}

enum class Registration { Path, NoKey, NoFile };

struct Unloadable {
    const char* name;
    Registration registration;
    // The registered value; "{engine}" stands for the test engine's directory.
    const char* value;
    const char* library;
    // Part of the loader's message, or "" when nothing should have been loaded at all.
    const char* loaderError;
};

class EngineStaysUnloaded : public HelpEngineLoading, public testing::WithParamInterface<Unloadable> {};

TEST_P(EngineStaysUnloaded, WithoutAMessage) {
    const Unloadable& c = GetParam();
    const std::string engineDir =
        fs::path(copyOf(c.library, "engine/libhelpengine.so")).parent_path().string();
    setenv("ENGINE_DIR", engineDir.c_str(), 1);
    testcommon::writeFile(m_directory / "engine/notes.so", "not a library\n");
    std::string value = c.value;
    if (const auto at = value.find("{engine}"); at != std::string::npos) {
        value.replace(at, 8, engineDir);
    }
    if (c.registration == Registration::Path) {
        registerEngine(value);
    } else if (c.registration == Registration::NoKey) {
        testcommon::writeFile(m_registry,
                              "REGEDIT4\r\n\r\n[HKEY_CLASSES_ROOT\\CLSID]\r\n@=\"" + value + "\"\r\n");
    }

    const HelpEngineLoader loader;
    EXPECT_EQ(loader.HelpEngineModule(), nullptr);
    EXPECT_EQ(loader.HelpEngineEntry(), nullptr);
    if (*c.loaderError == '\0') {
        EXPECT_EQ(loader.HelpEngineLoadError(), "") << "nothing should have been loaded";
    } else {
        EXPECT_NE(loader.HelpEngineLoadError().find(c.loaderError), std::string::npos)
            << loader.HelpEngineLoadError();
    }
    EXPECT_FALSE(isLoaded(engineDir + "/libhelpengine.so"));
}

const Unloadable kUnloadable[] = {
    {"NotRegistered", Registration::NoKey, "{engine}/libhelpengine.so", VIMORA_TEST_ENGINE, ""},
    {"NoRegistryFile", Registration::NoFile, "", VIMORA_TEST_ENGINE, ""},
    {"EmptyPath", Registration::Path, "", VIMORA_TEST_ENGINE, ""},
    {"MissingFile", Registration::Path, "{engine}/libmissing.so", VIMORA_TEST_ENGINE, ""},
    {"PosixEnvironmentReference", Registration::Path, "$ENGINE_DIR/libhelpengine.so", VIMORA_TEST_ENGINE, ""},
    {"WindowsEnvironmentReference", Registration::Path, "%ENGINE_DIR%/libhelpengine.so", VIMORA_TEST_ENGINE,
     ""},
    {"QuotedPath", Registration::Path, "\"{engine}/libhelpengine.so\"", VIMORA_TEST_ENGINE, ""},
    {"Directory", Registration::Path, "{engine}", VIMORA_TEST_ENGINE, ""},
    {"NotALibrary", Registration::Path, "{engine}/notes.so", VIMORA_TEST_ENGINE, "notes.so"},
};

INSTANTIATE_TEST_SUITE_P(Registrations, EngineStaysUnloaded, testing::ValuesIn(kUnloadable),
                         [](const auto& info) { return std::string(info.param.name); });

#ifdef VIMORA_PROGRAM_REGISTRY
// The registry file that the build writes beside the program registers the viewer engine built with
// it. The viewer is a Qt library: the window's help command tests load it, in a Qt program as it
// expects; unloaded from this Qt-free process, it would take Qt with it.
TEST_F(HelpEngineLoading, FindsTheViewerEngineThroughTheBuiltRegistry) {
    setenv("VIMORA_REGISTRY", VIMORA_PROGRAM_REGISTRY, 1);
    EXPECT_EQ(LocateHelpEngine(), VIMORA_VIEWER_ENGINE);
    EXPECT_EQ(GetFileVersionNumbers(LocateHelpEngine()).text, "1.0.0.0");
}
#endif

} // namespace
