// clipgif-cli: the command-line front end of ClipGIF.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "platform/MainThread.h"

namespace {

constexpr int kExitFailed = 1;

// What is still buffered for stdout goes out; a stdout that took not all of it (a closed
// pipe, a full disk) is reported and fails a run that would have succeeded.
int FinishStdout(int status) {
    // A write that failed before now left its reason behind: nothing runs after the output.
    const bool failedBefore = std::ferror(stdout);
    const int earlierError = errno;
    errno = 0;
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
    const int error = errno ? errno : failedBefore && earlierError ? earlierError : EIO;
    std::cerr << "clipgif-cli: cannot write to stdout: " << std::strerror(error) << '\n';
    return status == 0 ? kExitFailed : status;
}

}  // namespace

int main(int argc, char** argv) {
    SetMainThread();
    // A closed stdout fails the write that meets it, which is reported, instead of ending the
    // program at once.
    std::signal(SIGPIPE, SIG_IGN);
    int status = kExitFailed;
    try {
        status = RunCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::bad_alloc&) {
        std::cerr << "clipgif-cli: there was not enough memory\n";
    } catch (const std::exception& e) {
        std::cerr << e.what() << '\n';
    }
    return FinishStdout(status);
}
