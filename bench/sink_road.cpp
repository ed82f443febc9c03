// A long run of 320x240 frames of natural video through the frame sink, as a conversion
// delivers them: a real frame output adapter behind the "rawrgb" output, frames read one at a
// time from a file of decoded frames (so the source takes no memory), the GIF saved at the end.
// Then whole conversions of the 640x480 H.264 clip into the sink, decoding and scaling on the
// conversion's thread. Each run is a process of its own; the table gives its wall and processor
// time per frame and its peak resident memory, with 0 (the conversion's thread makes every
// frame), 1 and 2 workers (the best of three runs each, in turns), and for a sequence five times
// longer.
//
//     bench_sink_road                          runs the table (the clip is kept in /tmp)
//     bench_sink_road --run FRAMES WORKERS     frames from the file through the sink
//     bench_sink_road --convert WORKERS        a conversion of the clip into the sink
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/core/FrameSink.h"
#include "bench/AdapterRoad.h"
#include "bench/ClipFrames.h"
#include "engine/entrypoints/avcodec.h"
#include "engine/entrypoints/avformat.h"
#include "engine/loader/FFLoad.h"
#include "engine/log/FFLog.h"
#include "engine/output/FrameOutput.h"
#include "engine/output/FrameOutputFormats.h"
#include "engine/task/FFmpegTask.h"

extern char** environ;

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr int kFrameBytes = kWidth * kHeight * 3;
// Distinct frames in the clip file; longer runs go round them again.
constexpr int kClipFrames = 500;
constexpr int kShortRun = 1500;  // a minute at 25 frames per second
constexpr int kLongRun = 5 * kShortRun;
constexpr int kTurns = 3;

double CpuSeconds(const rusage& usage) {
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

class TQuietWindow : public TSinkWindow {
public:
    void LogLine(std::string_view) override {}
};

// A frame sink with `workers` workers behind an adapter, saving into `gif`.
struct TSinkRig {
    TSinkRig(int workers, const std::string& gif) : Sink(Window) {
        Sink.SetWorkers(workers);
        Sink.Attach(Adapter);
        Sink.SetOutputFileName(gif);
    }
    TQuietWindow Window;
    TFrameSink Sink;
    TFrameOutputAdapter Adapter;
};

// A "rawrgb" output of one bgr24 stream at 25 frames per second, opened for the adapter.
AVFormatContext* OpenRawRgbOutput(TFrameOutputAdapter& adapter) {
    AVFormatContext* context = nullptr;
    const std::string name = adapter.OutputName();
    if (libav::avformat_alloc_output_context2(
            &context, GuessOutputFormat("rawrgb", nullptr, nullptr), nullptr, name.c_str()) < 0)
        return nullptr;
    AVStream* stream = libav::avformat_new_stream(context, nullptr);
    stream->time_base = {1, 25};
    stream->avg_frame_rate = {25, 1};
    stream->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
    stream->codecpar->codec_id = AV_CODEC_ID_RAWVIDEO;
    stream->codecpar->format = AV_PIX_FMT_BGR24;
    stream->codecpar->width = kWidth;
    stream->codecpar->height = kHeight;
    return context;
}

bool LoadLibraries() {
    if (FFLoader().LoadLibs(FullLibrarySet)) {
        FFLogger().SetLogLevel(llError);
        RegisterFrameOutputFormats();
        return true;
    }
    std::fprintf(stderr, "%s\n", FFLoader().LastErrorMessage().c_str());
    return false;
}

void PrintResult(int frames, double wall, double cpu, const std::string& gif) {
    std::printf("%d %.4f %.4f %lld\n", frames, wall, cpu,
                static_cast<long long>(std::filesystem::file_size(gif)));
}

// `frames` frames from the file through the sink into `gif`. Prints the wall and processor
// seconds of the frames and the save, and the size of the GIF.
int Run(int frames, int workers, const std::string& clipFile, const std::string& gif) {
    if (!LoadLibraries()) return 1;
    const int clip = open(clipFile.c_str(), O_RDONLY);
    if (clip < 0) return 1;
    std::filesystem::remove(gif);

    TSinkRig rig(workers, gif);
    TFrameSink& sink = rig.Sink;
    TFrameOutputAdapter& adapter = rig.Adapter;
    AVFormatContext* output = OpenRawRgbOutput(adapter);
    AVPacket* packet = libav::av_packet_alloc();
    if (!output || !packet) return 1;

    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const auto start = std::chrono::steady_clock::now();
    int result = libav::avformat_write_header(output, nullptr);
    for (int frame = 0; frame < frames && result >= 0; ++frame) {
        libav::av_packet_unref(packet);
        if (libav::av_new_packet(packet, kFrameBytes) < 0) return 1;
        const off_t at = static_cast<off_t>(frame % kClipFrames) * kFrameBytes;
        if (pread(clip, packet->data, kFrameBytes, at) != kFrameBytes) return 1;
        packet->pts = packet->dts = frame;
        packet->flags |= AV_PKT_FLAG_KEY;
        result = libav::av_write_frame(output, packet);
    }
    if (result >= 0) result = libav::av_write_trailer(output);
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    if (result < 0) {
        RaiseFrameOutputError(output);
        return 1;
    }
    PrintResult(frames, wall, CpuSeconds(after) - CpuSeconds(before), sink.SavedFileName());
    libav::av_packet_free(&packet);
    libav::avformat_free_context(output);
    close(clip);
    return 0;
}

// A conversion of the H.264 clip to 320x240 into the sink, as the front end runs it.
int Convert(int workers, const std::string& clip, const std::string& gif) {
    if (!LoadLibraries()) return 1;
    std::filesystem::remove(gif);
    TSinkRig rig(workers, gif);
    TFrameSink& sink = rig.Sink;
    TFrameOutputAdapter& adapter = rig.Adapter;
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const auto start = std::chrono::steady_clock::now();
    if (!benchroad::ConvertIntoAdapter(clip, adapter)) return 1;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    if (sink.SavedFileName().empty()) return 1;
    PrintResult(sink.SavedFrames(), wall, CpuSeconds(after) - CpuSeconds(before),
                sink.SavedFileName());
    return 0;
}

struct TMeasured {
    int Frames = 0;
    double Wall = 0;
    double Cpu = 0;
    long long GifBytes = 0;
    long PeakKilobytes = 0;
    bool Ok = false;
};

// Runs the program with `args` as a child process and reads what it prints.
TMeasured Measure(std::vector<std::string> args) {
    const std::string output = std::filesystem::temp_directory_path() / "clipgif-bench-sink.txt";
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    TMeasured measured;
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return measured;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    measured.PeakKilobytes = usage.ru_maxrss;
    FILE* file = std::fopen(output.c_str(), "r");
    if (!file) return measured;
    measured.Ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
                  std::fscanf(file, "%d %lf %lf %lld", &measured.Frames, &measured.Wall,
                              &measured.Cpu, &measured.GifBytes) == 4;
    std::fclose(file);
    return measured;
}

// The best run of each (by wall time), each run `kTurns` times in turns, so that all meet the
// same load of the machine.
std::vector<TMeasured> BestInTurns(const std::vector<std::vector<std::string>>& runs) {
    std::vector<TMeasured> best(runs.size());
    for (int turn = 0; turn < kTurns; ++turn)
        for (size_t i = 0; i < runs.size(); ++i) {
            const TMeasured run = Measure(runs[i]);
            if (!run.Ok || (best[i].Ok && best[i].Wall <= run.Wall)) continue;
            best[i] = run;
        }
    return best;
}

bool Print(const std::string& label, const TMeasured& m) {
    if (!m.Ok) {
        std::fprintf(stderr, "%s failed\n", label.c_str());
        return false;
    }
    std::printf(
        "  %-26s %5d frames  wall %6.3f ms/frame  cpu %6.3f ms/frame  peak %6.1f MiB"
        "  gif %6.1f MiB\n",
        label.c_str(), m.Frames, 1000 * m.Wall / m.Frames, 1000 * m.Cpu / m.Frames,
        m.PeakKilobytes / 1024.0, m.GifBytes / 1048576.0);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string gif =
        (std::filesystem::temp_directory_path() / "clipgif-bench-sink.gif").string();
    if (argc == 4 && std::strcmp(argv[1], "--run") == 0)
        return Run(
            std::atoi(argv[2]), std::atoi(argv[3]),
            benchclips::DecodedFramesFile(benchclips::kNatural, kClipFrames, kWidth, kHeight), gif);
    if (argc == 3 && std::strcmp(argv[1], "--convert") == 0)
        return Convert(std::atoi(argv[2]),
                       benchclips::EncodedClipFile(benchclips::kNatural, kClipFrames), gif);

    const std::string self = std::filesystem::canonical("/proc/self/exe").string();
    benchclips::DecodedFramesFile(benchclips::kNatural, kClipFrames, kWidth, kHeight);
    benchclips::EncodedClipFile(benchclips::kNatural, kClipFrames);
    std::printf(
        "frame sink, natural 320x240 frames (%d distinct, then again), timing on, "
        "%d workers by default, best of %d in turns:\n",
        kClipFrames, DefaultFrameWorkers(), kTurns);
    const std::string shortRun = std::to_string(kShortRun);
    const std::vector<int> workers = {0, 1, 2};
    std::vector<std::vector<std::string>> runs;
    for (const int count : workers)
        runs.push_back({self, "--run", shortRun, std::to_string(count)});
    for (const int count : workers) runs.push_back({self, "--convert", std::to_string(count)});
    std::vector<TMeasured> best = BestInTurns(runs);
    for (size_t i = 0; i < runs.size(); ++i) {
        if (i == workers.size())
            std::printf("conversion of the 640x480 H.264 clip to 320x240 into the sink:\n");
        const std::string label = std::string(i < workers.size() ? "sink, " : "conversion, ") +
                                  std::to_string(workers[i % workers.size()]) + " workers";
        if (!Print(label, best[i])) return 1;
    }
    std::printf("the sink with %d workers on a run five times longer:\n", DefaultFrameWorkers());
    if (!Print("sink, five times longer", Measure({self, "--run", std::to_string(kLongRun),
                                                   std::to_string(DefaultFrameWorkers())})))
        return 1;
    std::filesystem::remove(gif);
    return 0;
}
