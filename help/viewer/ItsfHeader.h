#pragma once

#include <span>
#include <string>

// The fixed header ("ITSF") at the start of a compiled help file. chmcmd (fp-utils 3.2.2) writes
// the header's second GUID as a copy of the first; readers that check it, libmspack among them,
// refuse such a file, so the build repairs it and then checks the whole header.
namespace vimora::help {

/// Gives the second GUID its value when it holds a copy of the first; true when it changed.
bool repairItsfHeader(std::span<unsigned char> file);

/// What is wrong with the header of a whole file, in English for the build log; empty when
/// every field holds what a version 3 header must.
std::string itsfHeaderFault(std::span<const unsigned char> file);

} // namespace vimora::help
