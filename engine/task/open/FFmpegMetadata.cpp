// Metadata and chapters of an output: -map_metadata, the automatic copies from the inputs,
// -map_chapters and -metadata.
#include <algorithm>
#include <cstdlib>

#include "engine/core/ErrorCodes.h"
#include "engine/core/TextFormat.h"
#include "engine/entrypoints/avformat.h"
#include "engine/entrypoints/avutil.h"
#include "engine/task/open/FFmpegOpenSteps.h"

namespace {

bool MetadataError(TCustomFFmpeg& task, const std::string& message) {
    task.LastError = message;
    task.Log(llFatal, message);
    return false;
}

struct TMetaTarget {
    char Type = 'g';
    int Index = 0;
    std::string StreamSpec;
};

}  // namespace

// "" or "g": global; "s[:stream specifier]": streams; "c[:index]", "p[:index]": a chapter or
// a program.
bool TCustomFFmpeg::ParseMetaSpecifier(const std::string& spec, char& type, int& index,
                                       std::string& streamSpec) {
    type = 'g';
    index = 0;
    streamSpec.clear();
    if (spec.empty()) return true;
    type = spec[0];
    switch (type) {
        case 'g':
            return true;
        case 's':
            if (spec.size() > 1 && spec[1] != ':')
                return MetadataError(*this,
                                     StrFormat("Invalid metadata specifier %s.", spec.c_str()));
            if (spec.size() > 1) streamSpec = spec.substr(2);
            return true;
        case 'c':
        case 'p':
            if (spec.size() > 1 && spec[1] == ':')
                index = static_cast<int>(std::strtol(spec.c_str() + 2, nullptr, 0));
            return true;
        default:
            return MetadataError(*this, StrFormat("Invalid metadata type %s.", spec.c_str()));
    }
}

bool TCustomFFmpeg::CopyMetadata(const std::string& outspec, const std::string& inspec,
                                 TOptionsContext& o, AVFormatContext* ic, AVFormatContext* oc) {
    TMetaTarget in, out;
    if (!ParseMetaSpecifier(inspec, in.Type, in.Index, in.StreamSpec)) return false;
    if (!ParseMetaSpecifier(outspec, out.Type, out.Index, out.StreamSpec)) return false;
    for (char type : {in.Type, out.Type}) {
        if (type == 'g')
            o.MetadataGlobalManual = 1;
        else if (type == 's')
            o.MetadataStreamsManual = 1;
        else if (type == 'c')
            o.MetadataChaptersManual = 1;
    }
    // the one source and the single destination (stream destinations are found below)
    AVDictionary** source = nullptr;
    AVDictionary** destination = nullptr;
    for (int side = 0; side < 2; side++) {
        const TMetaTarget& t = side == 0 ? in : out;
        AVFormatContext* ctx = side == 0 ? ic : oc;
        AVDictionary** found = nullptr;
        if (t.Type == 'g') {
            found = &ctx->metadata;
        } else if (t.Type == 'c') {
            if (t.Index < 0 || t.Index >= static_cast<int>(ctx->nb_chapters))
                return MetadataError(
                    *this, StrFormat("Invalid %s index %d while processing metadata maps.",
                                     "chapter", t.Index));
            found = &ctx->chapters[t.Index]->metadata;
        } else if (t.Type == 'p') {
            if (t.Index < 0 || t.Index >= static_cast<int>(ctx->nb_programs))
                return MetadataError(
                    *this, StrFormat("Invalid %s index %d while processing metadata maps.",
                                     "program", t.Index));
            found = &ctx->programs[t.Index]->metadata;
        } else if (side == 0) {
            for (unsigned i = 0; i < ic->nb_streams && !found; i++) {
                const int ret = check_stream_specifier(ic, ic->streams[i], t.StreamSpec);
                if (ret < 0) return MetadataError(*this, ErrorText("check_stream_specifier", ret));
                if (ret > 0) found = &ic->streams[i]->metadata;
            }
            if (!found)
                return MetadataError(*this,
                                     StrFormat("Stream specifier %s does not match  any streams.",
                                               t.StreamSpec.c_str()));
        }
        (side == 0 ? source : destination) = found;
    }
    if (destination) {
        libav::av_dict_copy(destination, *source, AV_DICT_DONT_OVERWRITE);
        return true;
    }
    for (unsigned i = 0; i < oc->nb_streams; i++) {
        const int ret = check_stream_specifier(oc, oc->streams[i], out.StreamSpec);
        if (ret < 0) return MetadataError(*this, ErrorText("check_stream_specifier", ret));
        if (ret > 0)
            libav::av_dict_copy(&oc->streams[i]->metadata, *source, AV_DICT_DONT_OVERWRITE);
    }
    return true;
}

// -map_metadata entries: "infile[separator][input metadata specifier]" with the output
// metadata specifier after the option name.
bool ApplyMetadataMaps(TCustomFFmpeg& task, TOptionsContext& o, AVFormatContext* oc) {
    for (const TSpecifierOpt<std::string>& entry : o.MetadataMap) {
        char* p = nullptr;
        const int inFile = static_cast<int>(std::strtol(entry.Value.c_str(), &p, 0));
        if (*p) p++;
        if (inFile < 0) continue;
        if (inFile >= static_cast<int>(task.InputFiles.size())) {
            task.LastError =
                StrFormat("Invalid input file index %d while processing metadata maps", inFile);
            return false;
        }
        if (!task.CopyMetadata(entry.Specifier, p, o, task.InputFiles[inFile].Ctx, oc))
            return false;
    }
    return true;
}

bool ApplyChapters(TCustomFFmpeg& task, TOptionsContext& o, int outputIndex) {
    if (o.ChaptersInputFile >= static_cast<int>(task.InputFiles.size())) {
        if (o.ChaptersInputFile != kAutomaticChapters) {
            task.LastError =
                StrFormat("Invalid input file index %d in chapter mapping.", o.ChaptersInputFile);
            return false;
        }
        o.ChaptersInputFile = -1;
        for (size_t i = 0; i < task.InputFiles.size(); i++) {
            if (task.InputFiles[i].Ctx->nb_chapters) {
                o.ChaptersInputFile = static_cast<int>(i);
                break;
            }
        }
    }
    if (o.ChaptersInputFile < 0) return true;
    if (task.CopyChapters(o.ChaptersInputFile, outputIndex, !o.MetadataChaptersManual) < 0) {
        task.LastError = ErrorText("task.CopyChapters", kErrorOutOfMemory);
        return false;
    }
    return true;
}

int TCustomFFmpeg::CopyChapters(int inputIndex, int outputIndex, bool copyMetadata) {
    const TInputFile& ifile = InputFiles[inputIndex];
    const TOutputFile& ofile = OutputFiles[outputIndex];
    AVFormatContext* is = ifile.Ctx;
    AVFormatContext* os = ofile.Ctx;
    for (unsigned i = 0; i < is->nb_chapters; i++) {
        const AVChapter* inCh = is->chapters[i];
        const int64_t offset =
            libav::av_rescale_q(ofile.StartTime - ifile.TsOffset, AV_TIME_BASE_Q, inCh->time_base);
        const int64_t limit =
            ofile.RecordingTime == INT64_MAX
                ? INT64_MAX
                : libav::av_rescale_q(ofile.RecordingTime, AV_TIME_BASE_Q, inCh->time_base);
        if (inCh->end < offset) continue;
        if (limit != INT64_MAX && inCh->start > limit + offset) break;
        auto* outCh = static_cast<AVChapter*>(libav::av_mallocz(sizeof(AVChapter)));
        if (!outCh) return kErrorOutOfMemory;
        outCh->id = inCh->id;
        outCh->time_base = inCh->time_base;
        outCh->start = std::max<int64_t>(0, inCh->start - offset);
        outCh->end = std::min(limit, inCh->end - offset);
        if (copyMetadata) libav::av_dict_copy(&outCh->metadata, inCh->metadata, 0);
        int count = static_cast<int>(os->nb_chapters);
        if (libav::av_dynarray_add_nofree(&os->chapters, &count, outCh) < 0) {
            libav::av_dict_free(&outCh->metadata);
            libav::av_free(outCh);
            return kErrorOutOfMemory;
        }
        os->nb_chapters = static_cast<unsigned>(count);
    }
    return 0;
}

void CopyAutomaticMetadata(TCustomFFmpeg& task, TOptionsContext& o, int outputIndex) {
    AVFormatContext* oc = task.OutputFiles[outputIndex].Ctx;
    if (!o.MetadataGlobalManual && !task.InputFiles.empty()) {
        libav::av_dict_copy(&oc->metadata, task.InputFiles[0].Ctx->metadata,
                            AV_DICT_DONT_OVERWRITE);
        if (o.RecordingTime != kNoTimeLimit)
            libav::av_dict_set(&oc->metadata, "duration", nullptr, 0);
    }
    if (o.MetadataStreamsManual) return;
    for (size_t i = task.OutputFiles[outputIndex].OstIndex; i < task.OutputStreams.size(); i++) {
        const TOutputStream& ost = task.OutputStreams[i];
        if (ost.SourceIndex < 0) continue;
        libav::av_dict_copy(&ost.St->metadata, task.InputStreams[ost.SourceIndex].St->metadata,
                            AV_DICT_DONT_OVERWRITE);
    }
}

// -metadata[:spec] key=value; an empty value removes the key.
bool ApplyMetadataOptions(TCustomFFmpeg& task, TOptionsContext& o, AVFormatContext* oc) {
    for (const TSpecifierOpt<std::string>& entry : o.Metadata) {
        const size_t eq = entry.Value.find('=');
        if (eq == std::string::npos) {
            task.LastError =
                StrFormat("No \"=\" character in metadata string %s.", entry.Value.c_str());
            return false;
        }
        const std::string key = entry.Value.substr(0, eq);
        const std::string value = entry.Value.substr(eq + 1);
        const char* setValue = value.empty() ? nullptr : value.c_str();
        TMetaTarget t;
        if (!task.ParseMetaSpecifier(entry.Specifier, t.Type, t.Index, t.StreamSpec)) return false;
        if (t.Type == 's') {
            int ret = 0;
            for (unsigned j = 0; j < oc->nb_streams; j++) {
                ret = check_stream_specifier(oc, oc->streams[j], t.StreamSpec);
                if (ret > 0)
                    libav::av_dict_set(&oc->streams[j]->metadata, key.c_str(), setValue, 0);
                else if (ret < 0) {
                    task.LastError = ErrorText("check_stream_specifier", ret);
                    return false;
                }
            }
            task.Log(llDebug, StrFormat("ret %d, stream_spec %s", ret, t.StreamSpec.c_str()));
            continue;
        }
        AVDictionary** m = nullptr;
        if (t.Type == 'c') {
            if (t.Index < 0 || t.Index >= static_cast<int>(oc->nb_chapters)) {
                task.LastError =
                    StrFormat("Invalid chapter index %d in metadata specifier.", t.Index);
                return false;
            }
            m = &oc->chapters[t.Index]->metadata;
        } else if (t.Type == 'g') {
            m = &oc->metadata;
        } else {
            task.LastError = StrFormat("Invalid metadata specifier %s.", entry.Specifier.c_str());
            return false;
        }
        libav::av_dict_set(m, key.c_str(), setValue, 0);
    }
    return true;
}
