#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace testsupport {

TempDir::TempDir() {
    std::string templ = (std::filesystem::temp_directory_path() / "clipgif-test-XXXXXX").string();
    if (!mkdtemp(templ.data())) throw std::runtime_error("cannot make a temporary folder");
    path_ = templ;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

CommandResult Run(const std::string& commandLine) {
    CommandResult result;
    FILE* pipe = popen((commandLine + " 2>&1").c_str(), "r");
    if (!pipe) return result;
    std::array<char, 4096> buffer;
    size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        result.output.append(buffer.data(), n);
    const int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

std::string MakeMedia(const std::string& args, const std::string& output) {
    const CommandResult r =
        Run("ffmpeg -nostdin -y -loglevel error " + args + " " + ShellQuote(output));
    EXPECT_EQ(r.exitCode, 0) << "ffmpeg " << args << ": " << r.output;
    return output;
}

std::string BuildProgram(const std::string& name) {
    const char* bin = std::getenv("CLIPGIF_BIN");
    return std::string(bin ? bin : ".") + "/" + name;
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}

bool FileExists(const std::string& path) { return std::filesystem::exists(path); }

TSilentServer::TSilentServer() : socket_(socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (socket_ < 0 || bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(socket_, 4) != 0 ||
        getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (socket_ >= 0) close(socket_);
        throw std::runtime_error("cannot listen on the loopback address");
    }
    // Connections complete in the listen queue; nothing ever accepts or answers them.
    port_ = ntohs(address.sin_port);
}

TSilentServer::~TSilentServer() {
    if (socket_ >= 0) close(socket_);
}

std::string TSilentServer::Url() const { return "tcp://127.0.0.1:" + std::to_string(port_); }

}  // namespace testsupport
