// A help engine for the loader's tests: it records each call of its entry point.
#include <cstdint>
#include <string>

namespace {

std::string lastFile;
std::uint32_t lastCommand = 0xFFFFFFFF;
int calls = 0;

} // namespace

extern "C" {

__attribute__((visibility("default"))) void* HtmlHelpA(void*, const char* file, std::uint32_t command,
                                                       std::uintptr_t) {
    lastFile = file != nullptr ? file : "(null)";
    lastCommand = command;
    ++calls;
    return nullptr;
}

__attribute__((visibility("default"))) const char* TestEngineLastFile() {
    return lastFile.c_str();
}
__attribute__((visibility("default"))) std::uint32_t TestEngineLastCommand() {
    return lastCommand;
}
__attribute__((visibility("default"))) int TestEngineCalls() {
    return calls;
}
}
