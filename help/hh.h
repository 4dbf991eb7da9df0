#pragma once

#include "DynamicLibrary.h"
#include "HtmlHelp.h"

#include <string>

// The help engine loader. The program is not bound to its help viewer engine when it is built: the
// engine's library is found through its registration in the registry, loaded once at start-up,
// and its entry point "HtmlHelpA" kept in HelpEngineEntry, through which the main window opens
// the help file and closes every help window. The engine is unloaded last at program end. Nothing
// here ever reports a failure: the engine is then simply absent, and HelpEngineEntry null.
namespace vimora::help {

/// The engine's registration under HKEY_CLASSES_ROOT (the HTML Help control's class); its default
/// value is the engine library's path.
inline constexpr const char* kHelpEngineKey = "CLSID\\{adb880a6-d8ff-11cf-9377-00aa003b7a11}\\InprocServer32";

/// The loaded engine library; null while the engine is not loaded.
extern platform::LibraryHandle HelpEngineModule;

/// The engine's entry point; null while the engine is not loaded or when its library lacks it.
extern platform::HtmlHelpFunction HelpEngineEntry;

/// The loader's message about the last failed attempt to load the engine; empty when the engine
/// loaded or was not registered at all. The loader itself shows it to nobody.
extern std::string HelpEngineLoadError;

inline constexpr bool LoadHelpEngineAtStart = true;

/// The path of the engine's library as registered, taken literally (no environment references
/// expanded, no quotes removed); empty when it is not registered or no such file exists.
std::string LocateHelpEngine();

/// Loads the engine and resolves its entry point, unless it is loaded already.
void LoadHelpEngine();

/// Unloads the engine if it is loaded, emptying HelpEngineModule and HelpEngineEntry.
void UnloadHelpEngine();

/// Start-up, before the help environment detection and the main window: loads the engine.
void initialiseHelpEngineLoader();

/// Program end, after the main window is destroyed and the help environment finalised.
void finaliseHelpEngineLoader();

} // namespace vimora::help
