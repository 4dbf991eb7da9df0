#include "EngineError.h"

namespace vimora {

std::string withFinalFullStop(std::string message) {
    // Bytes compare unsigned, so the last byte of a UTF-8 letter sorts after "." too.
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.')
        message += '.';
    return message;
}

} // namespace vimora
