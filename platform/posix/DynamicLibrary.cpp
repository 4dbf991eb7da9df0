#include "DynamicLibrary.h"

#include <dlfcn.h>

namespace vimora::platform {

namespace {

std::string loaderError() {
    const char* message = dlerror();
    return message != nullptr ? message : "unknown loader error";
}

} // namespace

LibraryHandle loadLibrary(const std::string& path, std::string& error) {
    // dlopen searches the library path for a bare file name; "./" keeps it the file that was named.
    const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
    LibraryHandle library = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        error = loaderError();
    }
    return library;
}

void* librarySymbol(LibraryHandle library, const char* name, std::string& error) {
    dlerror();
    void* address = dlsym(library, name);
    if (address == nullptr) {
        error = loaderError();
    }
    return address;
}

void freeLibrary(LibraryHandle library) {
    dlclose(library);
}

} // namespace vimora::platform
