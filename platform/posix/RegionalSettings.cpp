#include "platform/RegionalSettings.h"

#include <clocale>
#include <cstring>

namespace vimora::platform {

char DecimalSeparator = '.';

void initialiseRegionalSettings() {
    std::setlocale(LC_ALL, "");
    const char* symbol = std::localeconv()->decimal_point;
    DecimalSeparator = symbol != nullptr && std::strlen(symbol) == 1 ? symbol[0] : '.';
}

} // namespace vimora::platform
