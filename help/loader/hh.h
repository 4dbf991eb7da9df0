#pragma once

#include "help/viewer/api/HtmlHelp.h"
#include "platform/DynamicLibrary.h"

#include <string>

// The help engine loader. The program is not bound to its help viewer engine when it is built: the
// engine's library is found through its registration in the registry, loaded once at start-up,
// and its entry point "HtmlHelpA" kept in HelpEngineEntry, through which the main window opens
// the help file and closes every help window. The engine is unloaded last at program end. Nothing
// here ever reports a failure: the engine is then simply absent, and HelpEngineEntry null.
namespace vimora::help {

/// The engine's registration under the registry's classes root (the HTML Help control's class);
/// its default value is the engine library's path.
inline constexpr const char* kHelpEngineKey = "CLSID\\{adb880a6-d8ff-11cf-9377-00aa003b7a11}\\InprocServer32";

inline constexpr bool LoadHelpEngineAtStart = true;

/// The path of the engine's library as registered, taken literally (no environment references
/// expanded, no quotes removed); empty when it is not registered or names no regular file.
std::string LocateHelpEngine();

/// Owns the help engine from start-up to the end of the program: loads it when made, unloads it
/// when destroyed. The engine is either loaded for the whole run or absent for the whole run.
class HelpEngineLoader {
public:
    /// Loads the engine whose library is at `enginePath` (LocateHelpEngine's result; empty when
    /// there is none), as LoadHelpEngineAtStart says.
    explicit HelpEngineLoader(std::string enginePath = LocateHelpEngine());
    ~HelpEngineLoader();
    HelpEngineLoader(const HelpEngineLoader&) = delete;
    HelpEngineLoader& operator=(const HelpEngineLoader&) = delete;

    /// Loads the engine and resolves its entry point, unless it is loaded already.
    void LoadHelpEngine();

    /// Unloads the engine if it is loaded, emptying HelpEngineModule and HelpEngineEntry.
    void UnloadHelpEngine();

    /// The engine library's path as located at start-up; empty when there is none.
    const std::string& enginePath() const { return m_enginePath; }

    /// The loaded engine library; null while the engine is not loaded.
    platform::LibraryHandle HelpEngineModule() const { return m_module; }

    /// The engine's entry point; null while the engine is not loaded or when its library lacks it.
    platform::HtmlHelpFunction HelpEngineEntry() const { return m_entry; }

    /// The loader's message about the last failed attempt to load the engine; empty when the engine
    /// loaded or was not registered at all. The loader itself shows it to nobody.
    const std::string& HelpEngineLoadError() const { return m_loadError; }

private:
    std::string m_enginePath;
    platform::LibraryHandle m_module = nullptr;
    platform::HtmlHelpFunction m_entry = nullptr;
    std::string m_loadError;
};

} // namespace vimora::help
