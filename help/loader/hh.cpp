#include "hh.h"

#include "platform/Files.h"
#include "platform/Registry.h"

#include <utility>

namespace vimora::help {

std::string LocateHelpEngine() {
    std::string path = platform::readRegistryString(platform::kClassesRoot, kHelpEngineKey, "").value_or("");
    // A FIFO or a device would block the loader's open: only a regular file can be an engine.
    if (!path.empty() && !platform::regularFileExists(path)) {
        path.clear();
    }
    return path;
}

HelpEngineLoader::HelpEngineLoader(std::string enginePath)
    : m_enginePath(std::move(enginePath)) {
    if (LoadHelpEngineAtStart) {
        LoadHelpEngine();
    }
}

HelpEngineLoader::~HelpEngineLoader() {
    UnloadHelpEngine();
}

void HelpEngineLoader::LoadHelpEngine() {
    if (m_module != nullptr) {
        return;
    }
    if (m_enginePath.empty() || !platform::regularFileExists(m_enginePath)) {
        return;
    }
    platform::LibraryHandle module = platform::loadLibrary(m_enginePath, m_loadError);
    if (module == nullptr) {
        return;
    }
    // A library without the entry point stays loaded, with no entry to call, until the end.
    m_module = module;
    void* entry = platform::librarySymbol(module, platform::kHtmlHelpEntryName, m_loadError);
    m_entry = reinterpret_cast<platform::HtmlHelpFunction>(entry);
    if (entry != nullptr) {
        m_loadError.clear();
    }
}

void HelpEngineLoader::UnloadHelpEngine() {
    if (m_module == nullptr) {
        return;
    }
    platform::freeLibrary(m_module);
    m_entry = nullptr;
    m_module = nullptr;
}

} // namespace vimora::help
