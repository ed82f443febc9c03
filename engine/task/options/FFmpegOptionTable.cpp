// The option table of a conversion task: every option name the option strings may use, in
// lookup order, followed by the end row. The table is the same for every task.
#include "engine/task/options/FFmpegOptionHandlers.h"

namespace {

std::vector<TOptionDef> BuildOptionTable() {
    using namespace optflag;
    using T = TCustomFFmpeg;
    using O = TOptionsContext;
    std::vector<TOptionDef> table;
    table.reserve(145);
    auto row = [&table](const char* name, int flags, TOptionTarget target, const char* help,
                        const char* argName = "") {
        table.push_back(TOptionDef{name, flags, target, help, argName, ""});
    };
    // A row that stands for another option: its argument goes to `alias` as written there.
    auto alias = [&table](const char* name, int flags, const char* alias, const char* help,
                          const char* argName) {
        table.push_back(TOptionDef{name, flags, std::monostate{}, help, argName, alias});
    };

    // informational and refused options of the command-line tool
    row("L", Exit, &OptIgnored, "show license");
    row("h", Exit, &OptIgnored, "show help", "topic");
    row("?", Exit, &OptIgnored, "show help", "topic");
    row("help", Exit, &OptIgnored, "show help", "topic");
    row("-help", Exit, &OptIgnored, "show help", "topic");
    row("version", Exit, &OptIgnored, "show version");
    row("formats", Exit, &OptIgnored, "show available formats");
    row("codecs", Exit, &OptIgnored, "show available codecs");
    row("bsfs", Exit, &OptIgnored, "show available bit stream filters");
    row("protocols", Exit, &OptIgnored, "show available protocols");
    row("filters", Exit, &OptIgnored, "show available filters");
    row("pix_fmts", Exit, &OptIgnored, "show available pixel formats");
    row("sample_fmts", Exit, &OptIgnored, "show available audio sample formats");
    row("loglevel", HasArg, &OptLogLevel, "set libav* logging level", "loglevel");
    row("v", HasArg, &OptLogLevel, "set libav* logging level", "loglevel");
    row("debug", HasArg, &OptCodecDebug, "set debug flags", "flags");
    row("report", 0, &OptNotSupported, "generate a report");
    row("max_alloc", HasArg, &OptMaxAlloc, "set maximum size of a single allocated block", "bytes");

    // main options
    row("f", HasArg | String | Offset, &O::FormatName, "force format", "fmt");
    row("i", HasArg | Exit, &OptNotSupported, "input file name", "filename");
    row("y", Bool, &T::FileOverwrite, "overwrite output files");
    row("n", Bool, &T::NoFileOverwrite, "do not overwrite output files");
    row("c", HasArg | String | Spec, &O::CodecNames, "codec name", "codec");
    row("codec", HasArg | String | Spec, &O::CodecNames, "codec name", "codec");
    row("pre", HasArg | String, &OptNotSupported, "preset name", "preset");
    row("map", HasArg | Expert | PerFile, &MapStreams, "set input stream mapping",
        "[-]input_file_id[:stream_specifier][,sync_file_id[:stream_specifier]]");
    row("map_channel", HasArg | Expert | PerFile, &OptMapChannel,
        "map an audio channel from one stream to another",
        "file.stream.channel[:syncfile.syncstream]");
    row("map_metadata", HasArg | String | Spec, &O::MetadataMap,
        "set metadata information of outfile from infile", "outfile[,metadata]:infile[,metadata]");
    row("map_chapters", HasArg | Expert | Int | Offset, &O::ChaptersInputFile,
        "set chapters mapping", "input_file_index");
    row("t", HasArg | Offset | Time, &O::RecordingTime,
        "record or transcode \"duration\" seconds of audio/video", "duration");
    row("t_microsecond", HasArg | Int64 | Offset, &O::RecordingTime,
        "record or transcode \"duration\" seconds of audio/video", "duration");
    row("fs", HasArg | Int64 | Offset, &O::LimitFilesize, "set the limit file size in bytes",
        "limit_size");
    row("ss", HasArg | Offset | Time, &O::StartTime, "set the start time offset", "time_off");
    row("ss_microsecond", HasArg | Int64 | Offset, &O::StartTime, "set the start time offset",
        "time_off");
    row("itsoffset", HasArg | Offset | Time, &O::InputTsOffset, "set the input ts offset",
        "time_off");
    row("itsoffset_microsecond", HasArg | Int64 | Offset, &O::InputTsOffset,
        "set the input ts offset", "time_off");
    row("itsscale", HasArg | Spec | Double, &O::TsScales, "set the input ts scale", "scale");
    row("timestamp", HasArg | PerFile, &OptRecordingTimestamp,
        "set the recording timestamp (\"now\" to set the current time)", "time");
    row("metadata", HasArg | String | Spec, &O::Metadata, "add metadata", "string=string");
    alias("dframes", HasArg | PerFile, "frames:d", "set the number of data frames to record",
          "number");
    row("benchmark", Bool | Expert, &OptNotSupported, "add timings for benchmarking");
    row("timelimit", HasArg, &OptNotSupported, "set max runtime in seconds", "limit");
    row("dump", Bool | Expert, &T::DoPktDump, "dump each input packet");
    row("hex", Bool | Expert, &T::DoHexDump, "when dumping packets, also dump the payload");
    row("re", Bool | Expert | Offset, &O::RateEmu, "read input at native frame rate");
    row("loop_input", Bool | Expert, &T::LoopInput, "deprecated, use -loop");
    row("loop_output", HasArg | Int | Expert, &T::LoopOutput, "deprecated, use -loop");
    row("target", HasArg | PerFile, &OptTarget,
        "specify target file type (\"vcd\", \"svcd\", \"dvd\", \"dv\", \"dv50\", \"pal-vcd\", "
        "\"ntsc-svcd\", ...)",
        "type");
    row("vsync", HasArg | Expert, &OptVSync, "video sync method");
    row("async", HasArg | Expert | Int, &T::AudioSyncMethod, "audio sync method");
    row("adrift_threshold", HasArg | Float | Expert, &T::AudioDriftThreshold,
        "audio drift threshold", "threshold");
    row("copyts", Bool | Expert, &T::CopyTs, "copy timestamps");
    row("copytb", HasArg | Int | Expert, &T::CopyTb,
        "copy input stream time base when stream copying", "mode");
    row("shortest", Bool | Expert, &T::Shortest, "finish encoding within shortest input");
    row("dts_delta_threshold", HasArg | Float | Expert, &T::DtsDeltaThreshold,
        "timestamp discontinuity delta threshold", "threshold");
    row("xerror", Bool, &T::ExitOnError, "exit on error", "error");
    row("copyinkf", Bool | Expert | Spec, &O::CopyInitialNonkeyframes,
        "copy initial non-keyframes");
    row("frames", HasArg | Int64 | Spec, &O::MaxFrames, "set the number of frames to record",
        "number");
    row("tag", HasArg | String | Spec, &O::CodecTags, "force codec tag/fourcc", "fourcc/tag");
    row("q", HasArg | Expert | Spec | Double, &O::QScales, "use fixed quality scale (VBR)", "q");
    row("qscale", HasArg | Expert | PerFile, &OptQScale, "use fixed quality scale (VBR)", "q");
    row("filter", HasArg | String | Spec, &O::Filters, "set stream filterchain", "filter_list");
    row("stats", Bool, &T::PrintStats, "print progress report during encoding");
    row("attach", HasArg | PerFile, &OptAttach, "add an attachment to the output file", "filename");
    row("dump_attachment", HasArg | String | Spec, &O::DumpAttachments,
        "extract an attachment into a file", "filename");

    // video options
    alias("vframes", HasArg | Video | PerFile, "frames:v",
          "set the number of video frames to record", "number");
    row("r", HasArg | String | Video | Spec, &O::FrameRates,
        "set frame rate (Hz value, fraction or abbreviation)", "rate");
    row("s", HasArg | String | Video | Spec, &O::FrameSizes, "set frame size (WxH or abbreviation)",
        "size");
    row("aspect", HasArg | String | Video | Spec, &O::FrameAspectRatios,
        "set aspect ratio (4:3, 16:9 or 1.3333, 1.7777)", "aspect");
    row("pix_fmt", HasArg | Expert | String | Video | Spec, &O::FramePixFmts, "set pixel format",
        "format");
    row("bits_per_raw_sample", HasArg | Int | Video, &T::BitsPerRawSample,
        "set the number of bits per raw sample", "number");
    for (const char* name : {"croptop", "cropbottom", "cropleft", "cropright"})
        row(name, HasArg | Video, &OptCropRemoved, "Removed, use the crop filter instead", "size");
    for (const char* name : {"padtop", "padbottom", "padleft", "padright"})
        row(name, HasArg | Video, &OptPadRemoved, "Removed, use the pad filter instead", "size");
    row("padcolor", HasArg | Video, &OptPadRemoved, "Removed, use the pad filter instead", "color");
    row("intra", Bool | Expert | Video, &T::IntraOnly, "use only intra frames");
    row("vn", Bool | Video | Offset, &O::VideoDisable, "disable video");
    row("vdt", HasArg | Int | Expert | Video, &T::VideoDiscard, "discard threshold", "n");
    row("rc_override", HasArg | Expert | String | Video | Spec, &O::RcOverrides,
        "rate control override for specific intervals", "override");
    row("vcodec", HasArg | Video | PerFile, &OptVideoCodec,
        "force video codec (\"copy\" to copy stream)", "codec");
    row("sameq", Bool | Video, &T::SameQuant, "use same quantizer as source (implies VBR)");
    row("same_quant", Bool | Video, &T::SameQuant, "use same quantizer as source (implies VBR)");
    row("pass", HasArg | Video, &OptPass, "select the pass number (1 or 2)", "n");
    row("passlogfile", HasArg | Video, &OptPassLogFile, "select two pass log file name prefix",
        "prefix");
    row("deinterlace", Bool | Expert | Video, &T::DoDeinterlace, "deinterlace pictures");
    row("psnr", Bool | Expert | Video, &T::DoPsnr, "calculate PSNR of compressed frames");
    row("vstats", Expert | Video, &OptVStats, "dump video coding statistics to file");
    row("vstats_file", HasArg | Expert | Video, &OptVStatsFile,
        "dump video coding statistics to file", "file");
    alias("vf", HasArg | Video | PerFile, "filter:v", "video filters", "filter list");
    row("intra_matrix", HasArg | Expert | String | Video | Spec, &O::IntraMatrices,
        "specify intra matrix coeffs", "matrix");
    row("inter_matrix", HasArg | Expert | String | Video | Spec, &O::InterMatrices,
        "specify inter matrix coeffs", "matrix");
    row("top", HasArg | Expert | Int | Video | Spec, &O::TopFieldFirst,
        "top=1/bottom=0/auto=-1 field first");
    row("dc", HasArg | Int | Expert | Video, &T::IntraDcPrecision, "intra_dc_precision",
        "precision");
    alias("vtag", HasArg | Expert | Video | PerFile, "tag:v", "force video tag/fourcc",
          "fourcc/tag");
    row("qphist", Bool | Expert | Video, &T::QpHist, "show QP histogram");
    row("force_fps", Bool | Expert | Video | Spec, &O::ForceFps,
        "force the selected framerate, disable the best supported framerate selection");
    row("streamid", HasArg | Expert | PerFile, &OptStreamId, "set the value of an outfile streamid",
        "streamIndex:value");
    row("force_key_frames", HasArg | Expert | String | Video | Spec, &O::ForcedKeyFrames,
        "force key frames at specified timestamps", "timestamps");
    row("b", HasArg | Video | PerFile, &OptBitrate, "video bitrate (please use -b:v)", "bitrate");

    // audio options
    alias("aframes", HasArg | Audio | PerFile, "frames:a",
          "set the number of audio frames to record", "number");
    alias("aq", HasArg | Audio | PerFile, "q:a", "set audio quality (codec-specific)", "quality");
    row("ar", HasArg | Audio | Int | Spec, &O::AudioSampleRates, "set audio sampling rate (in Hz)",
        "rate");
    row("ac", HasArg | Audio | Int | Spec, &O::AudioChannels, "set number of audio channels",
        "channels");
    row("an", Bool | Audio | Offset, &O::AudioDisable, "disable audio");
    row("acodec", HasArg | Audio | PerFile, &OptAudioCodec,
        "force audio codec (\"copy\" to copy stream)", "codec");
    alias("atag", HasArg | Expert | Audio | PerFile, "tag:a", "force audio tag/fourcc",
          "fourcc/tag");
    row("vol", HasArg | Int | Audio, &T::AudioVolume, "change audio volume (256=normal)", "volume");
    row("sample_fmt", HasArg | Expert | Audio | Spec | String, &O::SampleFmts, "set sample format",
        "format");
    row("rmvol", HasArg | Audio | Float | Spec, &O::RematrixVolumes, "rematrix volume (as factor)",
        "volume");

    // subtitle options
    row("sn", Bool | Subtitle | Offset, &O::SubtitleDisable, "disable subtitle");
    row("scodec", HasArg | Subtitle | PerFile, &OptSubtitleCodec,
        "force subtitle codec (\"copy\" to copy stream)", "codec");
    alias("stag", HasArg | Expert | Subtitle | PerFile, "tag:s", "force subtitle tag/fourcc",
          "fourcc/tag");

    // capture device options
    row("vc", HasArg | Expert | Video | Grab, &OptVideoChannel, "deprecated, use -channel",
        "channel");
    row("tvstd", HasArg | Expert | Video | Grab, &OptVideoStandard, "deprecated, use -standard",
        "standard");
    row("isync", Bool | Expert | Grab, &T::InputSync, "sync read on input");

    // muxer options
    row("muxdelay", HasArg | Float | Expert | Offset, &O::MuxMaxDelay,
        "set the maximum demux-decode delay", "seconds");
    row("muxpreload", HasArg | Float | Expert | Offset, &O::MuxPreload,
        "set the initial demux-decode delay", "seconds");
    row("bsf", HasArg | String | Spec, &O::BitstreamFilters,
        "A comma-separated list of bitstream filters", "bitstream_filters");
    alias("absf", HasArg | Audio | Expert | PerFile, "bsf:a", "deprecated",
          "audio bitstream_filters");
    alias("vbsf", HasArg | Video | Expert | PerFile, "bsf:v", "deprecated",
          "video bitstream_filters");

    // preset files
    row("apre", HasArg | Audio | Expert | PerFile, &OptPreset,
        "set the audio options to the indicated preset", "preset");
    row("vpre", HasArg | Video | Expert | PerFile, &OptPreset,
        "set the video options to the indicated preset", "preset");
    row("spre", HasArg | Subtitle | Expert | PerFile, &OptPreset,
        "set the subtitle options to the indicated preset", "preset");
    row("fpre", HasArg | Expert | PerFile, &OptPreset, "set options from indicated preset file",
        "filename");

    // data streams
    alias("dcodec", HasArg | Data | PerFile, "codec:d",
          "force data codec (\"copy\" to copy stream)", "codec");
    row("dn", Bool | Video | Offset, &O::DataDisable, "disable data");

    // the engine's own options
    row("vhook", HasArg | Expert | Video, &OptVideoHook, "insert video processing module",
        "module");
    row("VideoHookBitsPixel", HasArg | Expert | Video, &OptVideoHookBitsPixel, "VideoHookBitsPixel",
        "bpp");
    row("TimeStart", HasArg | Expert | PerFile, &OptTimeStart, "TimeStart");
    row("timestart", HasArg | Expert | PerFile, &OptTimeStart, "TimeStart");
    row("TimeLength", HasArg | Expert | PerFile, &OptTimeLength, "TimeLength");
    row("timelength", HasArg | Expert | PerFile, &OptTimeLength, "TimeLength");
    for (const char* name : {"AudioHook", "VideoInputHook", "VideoOutputHook", "FrameInputHook",
                             "FrameOutputHook", "Join"})
        row(name, Exit, &OptAccepted, name);
    row("default", HasArg | Expert | Video | Audio, &OptDefault, "generic catch all option");

    row("", 0, std::monostate{}, "");
    return table;
}

}  // namespace

const std::vector<TOptionDef>& TCustomFFmpeg::OptionTable() {
    static const std::vector<TOptionDef> table = BuildOptionTable();
    return table;
}
