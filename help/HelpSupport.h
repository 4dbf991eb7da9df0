#pragma once

#include "hh.h"
#include "hh_funcs.h"

namespace vimora::help {

/// The help support's lifetime in the program. Created right after the regional settings are read
/// and before the application object, so that it sees the arguments as main() received them and
/// the regional decimal separator; destroyed after everything else, so that the help engine is
/// unloaded last, once the main window has closed every help window.
class HelpSupport {
public:
    HelpSupport(int argc, char** argv) {
        initialiseHelpEngineLoader();
        initialiseHelpEnvironment(argc, argv);
    }
    ~HelpSupport() {
        finaliseHelpEnvironment();
        finaliseHelpEngineLoader();
    }
    HelpSupport(const HelpSupport&) = delete;
    HelpSupport& operator=(const HelpSupport&) = delete;
};

} // namespace vimora::help
