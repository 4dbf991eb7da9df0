#pragma once

#include <string>

// The text of a system error for a French message ("erreur d'écriture : plus de place sur le
// disque"): the common errors named, any other by its number, never in the system's English.
namespace vimora::platform {

/// The French text of an errno value.
std::string systemErrorText(int error);

} // namespace vimora::platform
