#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

namespace testcommon {

/// Runs `check` in a child process that is killed after `seconds`: true only when it returned true
/// in time, so that code that blocks forever fails its test instead of hanging the test run.
inline bool trueWithin(unsigned seconds, const auto& check) {
    const pid_t child = fork();
    if (child == 0) {
        alarm(seconds);
        _exit(check() ? EXIT_SUCCESS : EXIT_FAILURE);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == EXIT_SUCCESS;
}

} // namespace testcommon
