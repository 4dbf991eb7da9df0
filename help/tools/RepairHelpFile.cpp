// Build step after chmcmd: repairs the header and the directory of a compiled help file in place
// and fails the build when either is not whole afterwards.
#include "ItsfHeader.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE.chm\n", argv[0]);
        return 2;
    }
    const char* path = argv[1];
    std::vector<unsigned char> file;
    {
        std::ifstream in(path, std::ios::binary);
        file.assign(std::istreambuf_iterator<char>(in), {});
        if (in.bad() || file.empty()) {
            std::fprintf(stderr, "%s: cannot be read\n", path);
            return 1;
        }
    }
    bool repaired = vimora::help::repairItsfHeader(file);
    if (const std::string fault = vimora::help::itsfHeaderFault(file); !fault.empty()) {
        std::fprintf(stderr, "%s: damaged help file header: %s\n", path, fault.c_str());
        return 1;
    }
    repaired = vimora::help::repairFirstListingChunk(file) || repaired;
    if (const std::string fault = vimora::help::directoryFault(file); !fault.empty()) {
        std::fprintf(stderr, "%s: damaged help file directory: %s\n", path, fault.c_str());
        return 1;
    }
    if (repaired) {
        std::ofstream out(path, std::ios::binary | std::ios::in | std::ios::out);
        out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
        if (!out.flush()) {
            std::fprintf(stderr, "%s: cannot be written\n", path);
            return 1;
        }
    }
    return 0;
}
