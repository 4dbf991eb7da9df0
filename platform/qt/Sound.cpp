#include "Sound.h"

#include <QApplication>

#include <atomic>

namespace vimora::platform {

namespace {
std::atomic<std::uint64_t> beeps{0};
}

void messageBeep(std::uint32_t /*type*/) {
    ++beeps;
    if (qApp != nullptr) {
        QApplication::beep();
    }
}

std::uint64_t beepCount() {
    return beeps.load();
}

} // namespace vimora::platform
