#pragma once

#include <string>

// The text of a system error for a French message ("erreur d'écriture : plus de place sur le
// disque"): the common errors in French, any other as the system words it.
namespace vimora::platform {

/// The French text of an errno value.
std::string systemErrorText(int error);

} // namespace vimora::platform
