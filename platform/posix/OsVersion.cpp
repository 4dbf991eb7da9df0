#include "platform/OsVersion.h"

#include <sys/utsname.h>

#include <array>

namespace vimora::platform {

OsVersion osVersion() {
    utsname system{};
    if (uname(&system) != 0) {
        return {};
    }
    OsVersion version{system.sysname};
    const std::array<unsigned*, 3> fields{&version.major, &version.minor, &version.build};
    const char* text = system.release;
    for (unsigned* field : fields) {
        if (*text < '0' || *text > '9') {
            break;
        }
        while (*text >= '0' && *text <= '9') {
            *field = *field * 10 + static_cast<unsigned>(*text++ - '0');
        }
        if (*text != '.') {
            break;
        }
        ++text;
    }
    return version;
}

} // namespace vimora::platform
