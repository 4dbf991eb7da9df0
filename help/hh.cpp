#include "hh.h"

#include "Files.h"
#include "Registry.h"

namespace vimora::help {

platform::LibraryHandle HelpEngineModule = nullptr;
platform::HtmlHelpFunction HelpEngineEntry = nullptr;
std::string HelpEngineLoadError;

std::string LocateHelpEngine() {
    std::string path = platform::RegQueryString(platform::HKEY_CLASSES_ROOT, kHelpEngineKey, "").value_or("");
    if (!path.empty() && !platform::FileExists(path)) {
        path.clear();
    }
    return path;
}

void LoadHelpEngine() {
    if (HelpEngineModule != nullptr) {
        return;
    }
    const std::string path = LocateHelpEngine();
    if (path.empty()) {
        return;
    }
    platform::LibraryHandle module = platform::LoadLibrary(path, HelpEngineLoadError);
    if (module == nullptr) {
        return;
    }
    // A library without the entry point stays loaded, with no entry to call, until the end.
    HelpEngineModule = module;
    void* entry = platform::GetProcAddress(module, platform::kHtmlHelpEntryName, HelpEngineLoadError);
    HelpEngineEntry = reinterpret_cast<platform::HtmlHelpFunction>(entry);
    if (entry != nullptr) {
        HelpEngineLoadError.clear();
    }
}

void UnloadHelpEngine() {
    if (HelpEngineModule == nullptr) {
        return;
    }
    platform::FreeLibrary(HelpEngineModule);
    HelpEngineEntry = nullptr;
    HelpEngineModule = nullptr;
}

void initialiseHelpEngineLoader() {
    if (LoadHelpEngineAtStart) {
        LoadHelpEngine();
    }
}

void finaliseHelpEngineLoader() {
    UnloadHelpEngine();
}

} // namespace vimora::help
