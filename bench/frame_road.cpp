// The frame road against the ffmpeg tool: a 640x480 25 fps H.264 clip converted to 320x240
// bgr24 frames into a frame output adapter (no GIF work), and the same clip through
// `ffmpeg -i clip -vf scale=320:240 -pix_fmt bgr24 -f null -`, each a whole process, measured
// in the same run; then the peak resident memory of the conversion for the clip and for a clip
// five times longer (it must not grow with the length).
//
//     bench_frame_road                 runs the comparison (clips are kept in /tmp)
//     bench_frame_road --convert CLIP  one conversion (what the comparison runs)
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/AdapterRoad.h"
#include "engine/loader/FFLoad.h"
#include "engine/log/FFLog.h"
#include "engine/output/FrameOutput.h"
#include "engine/output/FrameOutputFormats.h"
#include "engine/task/FFmpegTask.h"

extern char** environ;

namespace {

struct TRun {
    double Seconds = 0;
    double CpuSeconds = 0;
    long PeakKilobytes = 0;
    int Status = -1;
};

// Runs a program to its end: wall time and peak resident memory.
TRun RunProcess(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    TRun run;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return run;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.PeakKilobytes = usage.ru_maxrss;
    run.CpuSeconds = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
                     (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

bool HasEncoder(const std::string& name) {
    FILE* pipe = popen("ffmpeg -hide_banner -encoders 2>/dev/null", "r");
    if (!pipe) return false;
    char line[512];
    bool found = false;
    while (std::fgets(line, sizeof(line), pipe))
        if (std::strstr(line, (" " + name + " ").c_str())) found = true;
    pclose(pipe);
    return found;
}

std::string MakeClip(const std::string& folder, int seconds) {
    const std::string codec = HasEncoder("libx264") ? "libx264" : "mpeg4";
    const std::string path = folder + "/clip" + std::to_string(seconds) + "_" + codec + ".mp4";
    if (std::filesystem::exists(path)) return path;
    std::printf("making a %d s clip (%s)...\n", seconds, codec.c_str());
    std::fflush(stdout);
    std::vector<std::string> args = {"ffmpeg",
                                     "-nostdin",
                                     "-v",
                                     "error",
                                     "-y",
                                     "-f",
                                     "lavfi",
                                     "-i",
                                     "testsrc2=size=640x480:rate=25",
                                     "-t",
                                     std::to_string(seconds),
                                     "-c:v",
                                     codec,
                                     "-pix_fmt",
                                     "yuv420p"};
    if (codec == "libx264") args.insert(args.end(), {"-preset", "veryfast"});
    args.insert(args.end(), {"-f", "mp4", path + ".part"});
    if (RunProcess(args).Status != 0) return "";
    std::filesystem::rename(path + ".part", path);
    return path;
}

// One conversion of the clip into an adapter, as the front end runs it.
int Convert(const std::string& clip) {
    if (!FFLoader().LoadLibs(FullLibrarySet)) {
        std::fprintf(stderr, "%s\n", FFLoader().LastErrorMessage().c_str());
        return 1;
    }
    FFLogger().SetLogLevel(llError);
    RegisterFrameOutputFormats();
    TFrameOutputAdapter adapter;
    long frames = 0;
    adapter.OnWriteFrame = [&](TFrameOutputAdapter*, POutputFrameInfo) { frames++; };
    if (!benchroad::ConvertIntoAdapter(clip, adapter)) return 1;
    return frames > 0 ? 0 : 1;
}

// The best of several runs of each program, run in turns so that both meet the same load.
void BestInTurns(const std::vector<std::string>& first, const std::vector<std::string>& second,
                 int times, TRun& firstBest, TRun& secondBest) {
    for (int i = 0; i < times; i++) {
        for (int which = 0; which < 2; which++) {
            const TRun run = RunProcess(which == 0 ? first : second);
            TRun& best = which == 0 ? firstBest : secondBest;
            if (run.Status != 0) {
                best = run;
                return;
            }
            if (i == 0 || run.Seconds < best.Seconds) best = run;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--convert") == 0) return Convert(argv[2]);
    const std::string self = std::filesystem::canonical("/proc/self/exe").string();
    const std::string folder = "/tmp/clipgif-bench-frame-road";
    std::filesystem::create_directories(folder);
    const std::string shortClip = MakeClip(folder, 60);
    const std::string longClip = MakeClip(folder, 300);
    if (shortClip.empty() || longClip.empty()) {
        std::fprintf(stderr, "cannot make the clips with the ffmpeg tool\n");
        return 1;
    }
    TRun tool, ours;
    BestInTurns({"ffmpeg", "-nostdin", "-v", "error", "-i", shortClip, "-vf", "scale=320:240",
                 "-pix_fmt", "bgr24", "-f", "null", "-"},
                {self, "--convert", shortClip}, 5, tool, ours);
    const TRun longer = RunProcess({self, "--convert", longClip});
    if (tool.Status != 0 || ours.Status != 0 || longer.Status != 0) {
        std::fprintf(stderr, "a conversion failed\n");
        return 1;
    }
    std::printf("frame road, 60 s 640x480 25 fps clip to 320x240 bgr24 (best of 5, in turns):\n");
    std::printf("  ffmpeg tool    %7.2f s   (%.2f s of processor time, peak memory %ld kB)\n",
                tool.Seconds, tool.CpuSeconds, tool.PeakKilobytes);
    std::printf(
        "  frame road     %7.2f s   (%.2f s of processor time)   %.2fx the tool (limit "
        "1.20x)\n",
        ours.Seconds, ours.CpuSeconds, ours.Seconds / tool.Seconds);
    std::printf("peak resident memory of the frame road:\n");
    std::printf("  60 s clip      %7ld kB\n", ours.PeakKilobytes);
    std::printf("  300 s clip     %7ld kB   (%+.1f%%)\n", longer.PeakKilobytes,
                100.0 * (longer.PeakKilobytes - ours.PeakKilobytes) / ours.PeakKilobytes);
    return 0;
}
