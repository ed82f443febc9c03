#pragma once
// Running clipgif-cli as a user does and checking what it leaves: its exit status, stdout and
// stderr apart, its "Saved" line, and the GIF read back by the project's reader (composed
// frame by frame) and by ffmpeg, compared with the pictures of the source clip.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <dirent.h>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "gif/model/GIFExtensions.h"
#include "gif/model/GIFImage.h"
#include "gif/paint/GIFComposer.h"
#include "tests/common/TestSupport.h"

namespace clitest {

using testsupport::ShellQuote;
// One picture: width x height x 3 bytes, red, green, blue, top row first.
using TPixels = std::vector<uint8_t>;

inline std::string Cli() { return ShellQuote(testsupport::BuildProgram("clipgif-cli")); }

inline std::string ReadText(const std::string& path) {
    const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

struct TCliRun {
    int ExitCode = -1;
    std::string Out;
    std::string Err;
};

// Runs `clipgif-cli ARGUMENTS` (arguments quoted by the caller) in `folder`, with no terminal.
inline TCliRun RunCli(const std::string& arguments, const std::string& folder) {
    const std::string out = folder + "/.cli-stdout";
    const std::string err = folder + "/.cli-stderr";
    const auto result =
        testsupport::Run("(cd " + ShellQuote(folder) + " && " + Cli() + " " + arguments +
                         " </dev/null >" + ShellQuote(out) + " 2>" + ShellQuote(err) + ")");
    TCliRun run;
    run.ExitCode = result.exitCode;
    run.Out = ReadText(out);
    run.Err = ReadText(err);
    std::remove(out.c_str());
    std::remove(err.c_str());
    return run;
}

// Starts clipgif-cli with `args` in `folder`: stdin from /dev/null, stdout and stderr into the
// descriptors `stdoutFd` and `stderrFd` of this process (which keeps them). The child's process
// id, -1 when it could not be started.
inline pid_t SpawnCli(const std::vector<std::string>& args, const std::string& folder, int stdoutFd,
                      int stderrFd) {
    std::vector<std::string> argv = {testsupport::BuildProgram("clipgif-cli")};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (std::string& arg : argv) pointers.push_back(arg.data());
    pointers.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, stdoutFd, 1);
    posix_spawn_file_actions_adddup2(&actions, stderrFd, 2);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    pid_t pid = -1;
    if (posix_spawn(&pid, pointers[0], &actions, nullptr, pointers.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// A file opened for a child's output, closed when it goes.
class TOutputFile {
public:
    explicit TOutputFile(const std::string& path)
        : fd_(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)) {}
    ~TOutputFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    TOutputFile(const TOutputFile&) = delete;
    TOutputFile& operator=(const TOutputFile&) = delete;
    int Fd() const { return fd_; }

private:
    int fd_;
};

// The exit status a shell gives for a child's wait status (128 + the signal that ended it).
inline int ExitStatusOf(int waitStatus) {
    return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 128 + WTERMSIG(waitStatus);
}

// "Saved PATH (N frames, WxH, B bytes)".
struct TSavedLine {
    std::string Path;
    int Frames = -1;
    int Width = -1;
    int Height = -1;
    long long Bytes = -1;
};

// The "Saved" lines of a run's stdout, in order; a line of another shape fails the test.
inline std::vector<TSavedLine> SavedLines(const std::string& out) {
    std::vector<TSavedLine> lines;
    std::istringstream text(out);
    std::string line;
    while (std::getline(text, line)) {
        TSavedLine saved;
        const size_t open = line.rfind(" (");
        char tail[16] = {};
        const bool parsed =
            line.rfind("Saved ", 0) == 0 && open != std::string::npos &&
            std::sscanf(line.c_str() + open, " (%d frames, %dx%d, %lld bytes%15s", &saved.Frames,
                        &saved.Width, &saved.Height, &saved.Bytes, tail) == 5 &&
            std::string(tail) == ")";
        EXPECT_TRUE(parsed) << "not a saved line: " << line;
        if (!parsed) continue;
        saved.Path = line.substr(6, open - 6);
        lines.push_back(saved);
    }
    return lines;
}

// The names in a folder, hidden ones included.
inline std::set<std::string> FolderNames(const std::string& folder) {
    std::set<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.insert(name);
        }
        closedir(dir);
    }
    return names;
}

// A GIF as the project's reader gives it back: each frame composed over the ones before it
// (disposal and transparency applied), its delay and the looping extension.
struct TGifReadBack {
    int Width = 0;
    int Height = 0;
    std::vector<TPixels> Pictures;
    std::vector<int> Delays;  // -1 for a frame without a graphic control extension
    bool Loops = false;       // a looping extension on the first frame
    int LoopCount = -1;

    int TotalDelay() const {
        int total = 0;
        for (int delay : Delays) total += std::max(delay, 0);
        return total;
    }
};

inline TGifReadBack ReadGif(const std::string& path) {
    TGifReadBack gif;
    TGIFImage image;
    image.LoadFromFile(path);
    gif.Width = image.Width();
    gif.Height = image.Height();
    TGIFComposer composer(gif.Width, gif.Height);
    for (int i = 0; i < image.Images().Count(); ++i) {
        TGIFSubImage& frame = image.Images()[i];
        composer.Draw(frame);
        TPixels picture;
        picture.reserve(static_cast<size_t>(gif.Width) * gif.Height * 3);
        for (int y = 0; y < gif.Height; ++y) {
            const uint32_t* row = composer.Row(y);
            for (int x = 0; x < gif.Width; ++x) {
                const uint32_t pixel = row[x] & TGIFComposer::kUncovered ? 0 : row[x];
                picture.insert(picture.end(),
                               {static_cast<uint8_t>(pixel >> 16), static_cast<uint8_t>(pixel >> 8),
                                static_cast<uint8_t>(pixel)});
            }
        }
        gif.Pictures.push_back(std::move(picture));
        const TGIFGraphicControlExtension* control = frame.GraphicControlExtension();
        gif.Delays.push_back(control ? control->Delay() : -1);
        if (i != 0) continue;
        TGIFExtensionList& extensions = frame.Extensions();
        for (int e = 0; e < extensions.Count(); ++e) {
            if (auto* loop = dynamic_cast<TGIFAppExtNSLoop*>(&extensions[e])) {
                gif.Loops = true;
                gif.LoopCount = loop->Loops();
            }
        }
    }
    return gif;
}

// Every picture ffmpeg decodes from the first video stream of `file` (or the stream `map`
// names), as it comes (no frame added or dropped), as RGB24 of width x height (scaled when the
// file's size differs; `filters` first, when given).
inline std::vector<TPixels> DecodeWithFfmpeg(const std::string& file, int width, int height,
                                             const std::string& scratch,
                                             const std::string& map = "0:v:0",
                                             const std::string& filters = "") {
    const auto result =
        testsupport::Run("ffmpeg -nostdin -v error -y -i " + ShellQuote(file) + " -map " + map +
                         " -fps_mode passthrough -vf " + (filters.empty() ? "" : filters + ",") +
                         "scale=" + std::to_string(width) + ":" + std::to_string(height) +
                         " -f rawvideo -pix_fmt rgb24 " + ShellQuote(scratch));
    EXPECT_EQ(result.exitCode, 0) << result.output;
    const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(scratch);
    std::remove(scratch.c_str());
    const size_t frameBytes = static_cast<size_t>(width) * height * 3;
    std::vector<TPixels> frames;
    for (size_t at = 0; frameBytes > 0 && at + frameBytes <= bytes.size(); at += frameBytes)
        frames.emplace_back(bytes.begin() + at, bytes.begin() + at + frameBytes);
    return frames;
}

// What ffprobe reads of the first video stream: each frame's time in seconds, or the frame
// durations of a GIF in hundredths (`entry` "frame=best_effort_timestamp_time" or
// "packet=duration").
inline std::vector<double> ProbeVideo(const std::string& file, const std::string& entry) {
    const auto result = testsupport::Run("ffprobe -v error -select_streams v:0 -show_entries " +
                                         entry + " -of csv=p=0 " + ShellQuote(file));
    EXPECT_EQ(result.exitCode, 0) << result.output;
    std::vector<double> values;
    std::istringstream text(result.output);
    std::string line;
    while (std::getline(text, line))
        if (!line.empty() && line != "N/A") values.push_back(std::stod(line));
    return values;
}

// The duration of a media file in seconds by ffprobe.
inline double ProbeDuration(const std::string& file) {
    const auto result = testsupport::Run(
        "ffprobe -v error -show_entries format=duration -of "
        "csv=p=0 " +
        ShellQuote(file));
    EXPECT_EQ(result.exitCode, 0) << result.output;
    return std::atof(result.output.c_str());
}

// Peak signal-to-noise ratio of two pictures of the same size, in dB (99 when equal).
inline double Psnr(const TPixels& a, const TPixels& b) {
    if (a.size() != b.size() || a.empty()) return 0;
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        const double d = static_cast<double>(a[i]) - b[i];
        sum += d * d;
    }
    if (sum == 0) return 99;
    return 10 * std::log10(255.0 * 255.0 * a.size() / sum);
}

// The source picture shown while each GIF frame starts: the frame starting at hundredth s
// stands for the last source picture whose time (less `offset` seconds from the first one) is
// before the next hundredth, since the delays count whole hundredths rounded down.
inline std::vector<size_t> SourceFrameOfEach(const TGifReadBack& gif,
                                             const std::vector<double>& sourceTimes,
                                             double offset = 0) {
    std::vector<size_t> matches;
    int start = 0;
    for (int delay : gif.Delays) {
        const double limit = (start + 1) / 100.0 - 1e-6;
        size_t match = 0;
        for (size_t j = 0; j < sourceTimes.size(); ++j)
            if (sourceTimes[j] - sourceTimes[0] - offset < limit) match = j;
        matches.push_back(match);
        start += std::max(delay, 0);
    }
    return matches;
}

// The mean PSNR of the GIF's frames against the source pictures they stand for.
inline double MeanPsnr(const TGifReadBack& gif, const std::vector<TPixels>& source,
                       const std::vector<size_t>& matches) {
    double sum = 0;
    for (size_t i = 0; i < gif.Pictures.size() && i < matches.size(); ++i)
        sum += matches[i] < source.size() ? Psnr(gif.Pictures[i], source[matches[i]]) : 0;
    return gif.Pictures.empty() ? 0 : sum / gif.Pictures.size();
}

}  // namespace clitest
