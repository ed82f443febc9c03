#pragma once
// Helpers shared by the test suites: temporary folders, running programs, making media, the
// messages of expected exceptions.
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

namespace testsupport {

// Built with AddressSanitizer: its shadow memory and its quarantine of freed blocks make the
// resident memory of a process, and limits on its address space, mean nothing.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif

// A fresh folder under the system's temporary folder, removed with its contents at destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

struct CommandResult {
    int exitCode = -1;
    std::string output;  // standard output and standard error together
};

// Runs a shell command line and collects what it prints.
CommandResult Run(const std::string& commandLine);

// Quotes a string for the shell.
std::string ShellQuote(const std::string& text);

// Makes a media file with the ffmpeg tool: `ffmpeg -y -loglevel error ARGS OUTPUT`.
// Fails the calling test (gtest assertion) when ffmpeg fails. Returns the output path.
std::string MakeMedia(const std::string& args, const std::string& output);

// A program of the build (the bin folder the tests were built into).
std::string BuildProgram(const std::string& name);

// Whole file as bytes / text.
std::vector<uint8_t> ReadFileBytes(const std::string& path);
bool FileExists(const std::string& path);

// A TCP port on the loopback address that takes connections and never sends a byte: a peer on
// which every blocking read waits until the reader gives up.
class TSilentServer {
public:
    TSilentServer();
    ~TSilentServer();
    TSilentServer(const TSilentServer&) = delete;
    TSilentServer& operator=(const TSilentServer&) = delete;
    // "tcp://127.0.0.1:PORT".
    std::string Url() const;

private:
    int socket_ = -1;
    int port_ = 0;
};

// The message of the E that `call` raises, or "" when it raises none (an exception of another
// type passes through). EXPECT_EQ(ErrorOf<GIFException>([&] { ... }), "message").
template <class E = std::exception, class Call>
std::string ErrorOf(Call&& call) {
    try {
        call();
    } catch (const E& error) {
        return error.what();
    }
    return "";
}

}  // namespace testsupport
