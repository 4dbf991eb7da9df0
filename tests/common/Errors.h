#pragma once

#include <string>

namespace testcommon {

/// The message of the `Error` that `action` throws, or "(no error)" when it throws none.
template <typename Error> std::string errorOf(const auto& action) {
    try {
        action();
    } catch (const Error& error) {
        return error.what();
    }
    return "(no error)";
}

} // namespace testcommon
