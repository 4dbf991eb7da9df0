#pragma once

#include <string>

// Libraries loaded at run time.
namespace vimora::platform {

using LibraryHandle = void*;

/// Loads the shared library at `path`, binding its symbols now and keeping them to itself. A path
/// is always taken as a path, never searched for. A file that is not a whole shared object of
/// this machine (its type, class, byte order and machine checked, and every segment inside the
/// file) is refused before the loader sees it. Null on failure, with the reason in `error`.
LibraryHandle loadLibrary(const std::string& path, std::string& error);

/// The address of the library's export `name`, or null with the loader's message in `error`.
void* librarySymbol(LibraryHandle library, const char* name, std::string& error);

/// Releases a library that loadLibrary loaded.
void freeLibrary(LibraryHandle library);

} // namespace vimora::platform
