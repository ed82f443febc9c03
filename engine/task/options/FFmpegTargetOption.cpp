// -target: the settings of a VCD, SVCD, DVD or DV output for a PAL, NTSC or film norm.
#include "engine/task/options/FFmpegOptionHandlers.h"

#include <cmath>

#include "engine/core/TextFormat.h"

namespace {

enum TNorm { normUnknown, normPAL, normNTSC, normFILM };

const char* FrameRateOf(int norm) {
    switch (norm) {
        case normPAL:
            return "25";
        case normNTSC:
            return "30000/1001";
        default:
            return "24000/1001";
    }
}

bool StripPrefix(std::string& text, const char* prefix) {
    const std::string p = prefix;
    if (text.compare(0, p.size(), p) != 0) return false;
    text.erase(0, p.size());
    return true;
}

// The norm named by the type's prefix, else the one the frame rate of the first video input
// with a recognisable rate suggests.
int TargetNorm(TCustomFFmpeg& task, const std::string& arg, std::string& type) {
    type = arg;
    if (StripPrefix(type, "pal-")) return normPAL;
    if (StripPrefix(type, "ntsc-")) return normNTSC;
    if (StripPrefix(type, "film-")) return normFILM;
    int norm = normUnknown;
    for (const TInputStream& ist : task.InputStreams) {
        if (ist.St->codecpar->codec_type != AVMEDIA_TYPE_VIDEO) continue;
        AVRational rate = ist.St->avg_frame_rate;
        if (rate.num <= 0 || rate.den <= 0) rate = ist.St->r_frame_rate;
        if (rate.num <= 0 || rate.den <= 0) continue;
        const long fr = std::lround(1000.0 * rate.num / rate.den);
        if (fr == 25000)
            norm = normPAL;
        else if (fr == 29970 || fr == 23976)
            norm = normNTSC;
        if (norm != normUnknown) break;
    }
    if (norm == normUnknown)
        task.FatalError(
            "Could not determine norm (PAL/NTSC/NTSC-Film) for target.\r\n"
            "Please prefix target with \"pal-\", \"ntsc-\" or \"film-\",\r\n"
            "or set a framerate with \"-r xxx\".");
    task.Log(llInfo, StrFormat("Assuming %s for target.", norm == normPAL ? "PAL" : "NTSC"));
    return norm;
}

}  // namespace

int OptTarget(TCustomFFmpeg& task, TOptionsContext& o, const std::string&, const std::string& arg) {
    std::string type;
    const int norm = TargetNorm(task, arg, type);
    const bool pal = norm == normPAL;
    const char* rate = FrameRateOf(norm);
    if (type == "vcd") {
        OptVideoCodec(task, o, "vcodec", "mpeg1video");
        OptAudioCodec(task, o, "acodec", "mp2");
        task.ParseOption(o, "f", "vcd");
        task.ParseOption(o, "s", pal ? "352x288" : "352x240");
        task.ParseOption(o, "r", rate);
        task.SetGenericOption("g", pal ? "15" : "18");
        task.SetGenericOption("b:v", "1150000");
        task.SetGenericOption("maxrate", "1150000");
        task.SetGenericOption("minrate", "1150000");
        task.SetGenericOption("bufsize", "327680");
        task.SetGenericOption("b:a", "224000");
        task.ParseOption(o, "ar", "44100");
        task.ParseOption(o, "ac", "2");
        task.SetGenericOption("packetsize", "2324");
        task.SetGenericOption("muxrate", "1411200");
        // the first pack of a VCD starts 0.44 s in: 36000 + 3 * 1200 ticks of 90 kHz
        o.MuxPreload = 0.44f;
    } else if (type == "svcd") {
        OptVideoCodec(task, o, "vcodec", "mpeg2video");
        OptAudioCodec(task, o, "acodec", "mp2");
        task.ParseOption(o, "f", "svcd");
        task.ParseOption(o, "s", pal ? "480x576" : "480x480");
        task.ParseOption(o, "r", rate);
        task.ParseOption(o, "pix_fmt", "yuv420p");
        task.SetGenericOption("g", pal ? "15" : "18");
        task.SetGenericOption("b:v", "2040000");
        task.SetGenericOption("maxrate", "2516000");
        task.SetGenericOption("minrate", "0");
        task.SetGenericOption("bufsize", "1835008");
        // the scan offset reservation is the MPEG-2 encoder's own option in current libraries
        task.SetGenericOption("scan_offset", "1");
        task.SetGenericOption("b:a", "224000");
        task.ParseOption(o, "ar", "44100");
        task.SetGenericOption("packetsize", "2324");
    } else if (type == "dvd") {
        OptVideoCodec(task, o, "vcodec", "mpeg2video");
        OptAudioCodec(task, o, "acodec", "ac3");
        task.ParseOption(o, "f", "dvd");
        task.ParseOption(o, "s", pal ? "720x576" : "720x480");
        task.ParseOption(o, "r", rate);
        task.ParseOption(o, "pix_fmt", "yuv420p");
        task.SetGenericOption("g", pal ? "15" : "18");
        task.SetGenericOption("b:v", "6000000");
        task.SetGenericOption("maxrate", "9000000");
        task.SetGenericOption("minrate", "0");
        task.SetGenericOption("bufsize", "1835008");
        task.SetGenericOption("packetsize", "2048");
        task.SetGenericOption("muxrate", "10080000");
        task.SetGenericOption("b:a", "448000");
        task.ParseOption(o, "ar", "48000");
    } else if (type.compare(0, 2, "dv") == 0) {
        task.ParseOption(o, "f", "dv");
        task.ParseOption(o, "s", pal ? "720x576" : "720x480");
        task.ParseOption(o, "pix_fmt", type == "dv50" ? "yuv422p" : (!pal ? "yuv411p" : "yuv420p"));
        task.ParseOption(o, "r", rate);
        task.ParseOption(o, "ar", "48000");
        task.ParseOption(o, "ac", "2");
    } else {
        return LogHandlerError(task, StrFormat("Unknown target: %s", type.c_str()));
    }
    return 0;
}
