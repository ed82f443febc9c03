#include "engine/core/FFUtils.h"

#include <cinttypes>
#include <cstdio>

#include "engine/core/TextFormat.h"
#include "engine/entrypoints/libc.h"

namespace {

bool PrintableTag(unsigned tag) {
    for (int shift = 0; shift < 32; shift += 8) {
        unsigned c = (tag >> shift) & 0xFF;
        if (c < 32 || c > 126) return false;
    }
    return true;
}

std::string CodecTagText(unsigned tag) {
    if (!PrintableTag(tag)) return StrFormat("0x%04x", tag);
    return StrFormat("%c%c%c%c / 0x%04X", tag & 0xFF, (tag >> 8) & 0xFF, (tag >> 16) & 0xFF,
                     (tag >> 24) & 0xFF, tag);
}

void LogError(const std::string& text) {
    if (libav::av_log) libav::av_log(nullptr, AV_LOG_ERROR, "%s", text.c_str());
}

// Reads the open file into a new buffer; the caller closes the file.
int ReadOpenFile(std::FILE* file, const std::string& fileName, uint8_t** buffer, size_t* size) {
    long length = -1;
    if (libav::fseek(file, 0, SEEK_END) == 0) length = libav::ftell(file);
    if (length < 0 || libav::fseek(file, 0, SEEK_SET) != 0) {
        LogError("Error while reading file \"" + fileName + "\"\n");
        return AVERROR(EIO);
    }
    auto* data = static_cast<uint8_t*>(libav::av_malloc(static_cast<size_t>(length) + 1));
    if (!data) {
        LogError("Could not allocate file buffer\n");
        return AVERROR(ENOMEM);
    }
    size_t read = libav::fread(data, 1, static_cast<size_t>(length), file);
    if (read < static_cast<size_t>(length)) {
        libav::av_free(data);
        if (libav::ferror(file)) {
            LogError("Error while reading file \"" + fileName + "\"\n");
            return AVERROR(EIO);
        }
        return AVERROR_EOF;
    }
    data[length] = 0;
    *buffer = data;
    *size = static_cast<size_t>(length) + 1;
    return 0;
}

}  // namespace

std::string MediaTypeName(int mediaType) {
    switch (mediaType) {
        case AVMEDIA_TYPE_VIDEO:
            return "Video";
        case AVMEDIA_TYPE_AUDIO:
            return "Audio";
        case AVMEDIA_TYPE_DATA:
            return "Data";
        case AVMEDIA_TYPE_SUBTITLE:
            return "Subtitle";
        case AVMEDIA_TYPE_ATTACHMENT:
            return "Attachment";
        default:
            return "Unknown";
    }
}

std::string FormatTimestamp(int64_t microseconds) {
    if (microseconds == AV_NOPTS_VALUE) return "N/A";
    const char* sign = microseconds < 0 ? "-" : "";
    uint64_t us = microseconds < 0 ? 0 - static_cast<uint64_t>(microseconds)
                                   : static_cast<uint64_t>(microseconds);
    uint64_t ms = us / 1000;
    return StrFormat("%s%.2" PRIu64 ":%.2" PRIu64 ":%.2" PRIu64 ".%.3" PRIu64, sign, ms / 3600000,
                     ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
}

std::string FormatStreamTimestamp(int64_t timestamp, AVRational timeBase) {
    const AVRational microsecondBase{1, AV_TIME_BASE};
    if (timestamp != AV_NOPTS_VALUE && av_cmp_q(timeBase, microsecondBase) != 0)
        timestamp = libav::av_rescale_q(timestamp, timeBase, microsecondBase);
    return FormatTimestamp(timestamp);
}

int64_t FrameDuration(AVRational frameRate) {
    if (frameRate.num == 0 || frameRate.den == 0) return 40000;
    return int64_t(1000000) * frameRate.den / frameRate.num;
}

std::string CodecDisplayName(const AVCodecContext* context, bool encoder) {
    const AVCodec* codec = encoder ? libav::avcodec_find_encoder(context->codec_id)
                                   : libav::avcodec_find_decoder(context->codec_id);
    if (codec) {
        std::string name = codec->name;
        const std::string longName = codec->long_name ? codec->long_name : "";
        if (longName.find_first_not_of(' ') != std::string::npos) name += "(" + longName + ")";
        return name;
    }
    if (context->codec_id == AV_CODEC_ID_MPEG2TS) return "mpeg2ts";
    if (context->codec && context->codec->name && context->codec->name[0])
        return context->codec->name;
    return CodecTagText(context->codec_tag);
}

std::string PictureTypeName(int pictureType) {
    switch (pictureType) {
        case AV_PICTURE_TYPE_I:
            return "Intra";
        case AV_PICTURE_TYPE_P:
            return "Predicted";
        case AV_PICTURE_TYPE_B:
            return "Bi-dir predicted";
        case AV_PICTURE_TYPE_S:
            return "S(GMC)-VOP MPEG4";
        case AV_PICTURE_TYPE_SI:
            return "Switching Intra";
        case AV_PICTURE_TYPE_SP:
            return "Switching Predicted";
        case AV_PICTURE_TYPE_BI:
            return "BI type";
        default:
            return "Unknown";
    }
}

std::string DictValue(const AVDictionary* dict, const char* key, const std::string& defaultValue) {
    const AVDictionaryEntry* entry = libav::av_dict_get(dict, key, nullptr, 0);
    return entry && entry->value ? entry->value : defaultValue;
}

int ReadWholeFile(const std::string& fileName, uint8_t** buffer, size_t* size) {
    *buffer = nullptr;
    *size = 0;
    std::FILE* file = libav::fopen(fileName.c_str(), "rb");
    if (!file) {
        LogError("Cannot read file \"" + fileName + "\"\n");
        return -1;
    }
    int result = ReadOpenFile(file, fileName, buffer, size);
    libav::fclose(file);
    return result;
}
