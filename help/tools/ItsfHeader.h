#pragma once

#include <span>
#include <string>

// The fixed header ("ITSF") at the start of a compiled help file and the directory (ITSP) it
// points to. chmcmd (fp-utils 3.2.2) writes the header's second GUID as a copy of the first;
// readers that check it, libmspack among them, refuse such a file. When the directory spans
// several chunks, chmcmd also records chunk 1 as the first listing chunk (PMGL), so readers that
// start there, libmspack among them, never see chunk 0 and the objects it lists. The build
// repairs both and then checks the whole header and the chain of listing chunks.
namespace vimora::help {

/// Gives the second GUID its value when it holds a copy of the first; true when it changed.
bool repairItsfHeader(std::span<unsigned char> file);

/// What is wrong with the header of a whole file, in English for the build log; empty when
/// every field holds what a version 3 header must.
std::string itsfHeaderFault(std::span<const unsigned char> file);

/// Records the head of the chain of listing chunks (the only one with no previous chunk) as
/// the directory's first listing chunk when another one is recorded; true when it changed.
/// Leaves a file whose header or directory is not whole as it is.
bool repairFirstListingChunk(std::span<unsigned char> file);

/// What is wrong with the directory of a file whose header is whole, in English for the build
/// log; empty when following each listing chunk's next chunk from the first one recorded visits
/// every listing chunk once and ends at the last one recorded.
std::string directoryFault(std::span<const unsigned char> file);

} // namespace vimora::help
