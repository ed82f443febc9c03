// -target: the settings of a VCD, SVCD, DVD or DV output for a PAL, NTSC or film norm.
#include <cmath>

#include "engine/core/TextFormat.h"
#include "engine/task/FFmpegTask.h"

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

}  // namespace

// The norm named by the type's prefix, else the one the frame rate of the first video input
// with a recognisable rate suggests.
int TCustomFFmpeg::TargetNorm(const std::string& arg, std::string& type) {
    type = arg;
    if (StripPrefix(type, "pal-")) return normPAL;
    if (StripPrefix(type, "ntsc-")) return normNTSC;
    if (StripPrefix(type, "film-")) return normFILM;
    int norm = normUnknown;
    for (const TInputStream& ist : InputStreams) {
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
        FatalError(
            "Could not determine norm (PAL/NTSC/NTSC-Film) for target.\r\n"
            "Please prefix target with \"pal-\", \"ntsc-\" or \"film-\",\r\n"
            "or set a framerate with \"-r xxx\".");
    Log(llInfo, StrFormat("Assuming %s for target.", norm == normPAL ? "PAL" : "NTSC"));
    return norm;
}

int TCustomFFmpeg::OptTarget(TOptionsContext& o, const std::string&, const std::string& arg) {
    std::string type;
    const int norm = TargetNorm(arg, type);
    const bool pal = norm == normPAL;
    const char* rate = FrameRateOf(norm);
    if (type == "vcd") {
        OptVideoCodec(o, "vcodec", "mpeg1video");
        OptAudioCodec(o, "acodec", "mp2");
        ParseOption(o, "f", "vcd");
        ParseOption(o, "s", pal ? "352x288" : "352x240");
        ParseOption(o, "r", rate);
        SetGenericOption("g", pal ? "15" : "18");
        SetGenericOption("b:v", "1150000");
        SetGenericOption("maxrate", "1150000");
        SetGenericOption("minrate", "1150000");
        SetGenericOption("bufsize", "327680");
        SetGenericOption("b:a", "224000");
        ParseOption(o, "ar", "44100");
        ParseOption(o, "ac", "2");
        SetGenericOption("packetsize", "2324");
        SetGenericOption("muxrate", "1411200");
        // the first pack of a VCD starts 0.44 s in: 36000 + 3 * 1200 ticks of 90 kHz
        o.MuxPreload = 0.44f;
    } else if (type == "svcd") {
        OptVideoCodec(o, "vcodec", "mpeg2video");
        OptAudioCodec(o, "acodec", "mp2");
        ParseOption(o, "f", "svcd");
        ParseOption(o, "s", pal ? "480x576" : "480x480");
        ParseOption(o, "r", rate);
        ParseOption(o, "pix_fmt", "yuv420p");
        SetGenericOption("g", pal ? "15" : "18");
        SetGenericOption("b:v", "2040000");
        SetGenericOption("maxrate", "2516000");
        SetGenericOption("minrate", "0");
        SetGenericOption("bufsize", "1835008");
        // the scan offset reservation is the MPEG-2 encoder's own option in current libraries
        SetGenericOption("scan_offset", "1");
        SetGenericOption("b:a", "224000");
        ParseOption(o, "ar", "44100");
        SetGenericOption("packetsize", "2324");
    } else if (type == "dvd") {
        OptVideoCodec(o, "vcodec", "mpeg2video");
        OptAudioCodec(o, "acodec", "ac3");
        ParseOption(o, "f", "dvd");
        ParseOption(o, "s", pal ? "720x576" : "720x480");
        ParseOption(o, "r", rate);
        ParseOption(o, "pix_fmt", "yuv420p");
        SetGenericOption("g", pal ? "15" : "18");
        SetGenericOption("b:v", "6000000");
        SetGenericOption("maxrate", "9000000");
        SetGenericOption("minrate", "0");
        SetGenericOption("bufsize", "1835008");
        SetGenericOption("packetsize", "2048");
        SetGenericOption("muxrate", "10080000");
        SetGenericOption("b:a", "448000");
        ParseOption(o, "ar", "48000");
    } else if (type.compare(0, 2, "dv") == 0) {
        ParseOption(o, "f", "dv");
        ParseOption(o, "s", pal ? "720x576" : "720x480");
        ParseOption(o, "pix_fmt", type == "dv50" ? "yuv422p" : (!pal ? "yuv411p" : "yuv420p"));
        ParseOption(o, "r", rate);
        ParseOption(o, "ar", "48000");
        ParseOption(o, "ac", "2");
    } else {
        return LogHandlerError(StrFormat("Unknown target: %s", type.c_str()));
    }
    return 0;
}
