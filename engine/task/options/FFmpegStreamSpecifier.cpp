#include "engine/task/options/FFmpegStreamSpecifier.h"

#include <cctype>
#include <cstdlib>
#include <string>

#include "engine/core/ErrorCodes.h"
#include "engine/entrypoints/avformat.h"
#include "engine/entrypoints/avutil.h"

namespace {

bool ReadNumber(const std::string& text, size_t& pos, long& value) {
    const char* start = text.c_str() + pos;
    char* end = nullptr;
    value = std::strtol(start, &end, 0);
    if (end == start) return false;
    pos += end - start;
    return true;
}

int MediaTypeOfLetter(char c) {
    switch (c) {
        case 'v':
            return AVMEDIA_TYPE_VIDEO;
        case 'a':
            return AVMEDIA_TYPE_AUDIO;
        case 's':
            return AVMEDIA_TYPE_SUBTITLE;
        case 'd':
            return AVMEDIA_TYPE_DATA;
        case 't':
            return AVMEDIA_TYPE_ATTACHMENT;
        default:
            return AVMEDIA_TYPE_UNKNOWN;
    }
}

// "v", "a", ... optionally followed by ":n" (the n-th stream of that type).
int MatchMediaType(AVFormatContext* s, AVStream* st, const std::string& spec) {
    const int type = MediaTypeOfLetter(spec[0]);
    if (type != st->codecpar->codec_type) return 0;
    if (spec.size() == 1) return 1;
    if (spec[1] != ':') return kErrorInvalidArgument;
    size_t pos = 2;
    long nth = 0;
    if (!ReadNumber(spec, pos, nth) || pos != spec.size()) return kErrorInvalidArgument;
    for (unsigned i = 0; i < s->nb_streams; i++) {
        if (s->streams[i]->codecpar->codec_type != type) continue;
        if (nth-- == 0) return st->index == static_cast<int>(i) ? 1 : 0;
    }
    return 0;
}

// "p:id" optionally followed by ":n" (the program's n-th stream).
int MatchProgram(AVFormatContext* s, AVStream* st, const std::string& spec) {
    size_t pos = 2;
    long programId = 0;
    if (!ReadNumber(spec, pos, programId)) return kErrorInvalidArgument;
    long nth = -1;
    if (pos < spec.size()) {
        if (spec[pos] != ':') return kErrorInvalidArgument;
        ++pos;
        if (!ReadNumber(spec, pos, nth) || pos != spec.size()) return kErrorInvalidArgument;
    }
    for (unsigned i = 0; i < s->nb_programs; i++) {
        const AVProgram* program = s->programs[i];
        if (program->id != programId) continue;
        if (nth >= 0) {
            if (nth >= static_cast<long>(program->nb_stream_indexes)) return 0;
            return st->index == static_cast<int>(program->stream_index[nth]) ? 1 : 0;
        }
        for (unsigned j = 0; j < program->nb_stream_indexes; j++)
            if (st->index == static_cast<int>(program->stream_index[j])) return 1;
    }
    return 0;
}

bool IsAllDigits(const std::string& text) {
    if (text.empty()) return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

}  // namespace

int check_stream_specifier(AVFormatContext* s, AVStream* st, const std::string& spec) {
    if (spec.empty()) return 1;
    if (IsAllDigits(spec)) return std::strtol(spec.c_str(), nullptr, 10) == st->index ? 1 : 0;
    const char c = spec[0];
    int result = kErrorInvalidArgument;
    if (c == 'v' || c == 'a' || c == 's' || c == 'd' || c == 't')
        result = MatchMediaType(s, st, spec);
    else if (c == 'p' && spec.size() > 1 && spec[1] == ':')
        result = MatchProgram(s, st, spec);
    if (result < 0)
        libav::av_log(nullptr, AV_LOG_ERROR, "Invalid stream specifier: \"%s\"\n", spec.c_str());
    return result;
}
