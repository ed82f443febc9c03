#pragma once
// Per-file settings gathered from one option string: what the next opened input or output uses.
#include <climits>
#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "engine/core/FFmpegException.h"

// One occurrence of a per-stream option: the stream specifier that followed the option name
// (empty for none) and the value.
template <typename T>
struct TSpecifierOpt {
    std::string Specifier;
    T Value{};
};

template <typename T>
using TSpecifierList = std::vector<TSpecifierOpt<T>>;

struct TStreamMap {
    int Disabled = 0;
    int FileIndex = 0;
    int StreamIndex = 0;
    int SyncFileIndex = 0;
    int SyncStreamIndex = 0;
};

struct TAudioChannelMap {
    int FileIndex = -1;
    int StreamIndex = -1;
    int ChannelIndex = -1;
    int OutFileIndex = -1;
    int OutStreamIndex = -1;
};

struct TMetadataMap {
    int FileIndex = 0;
    std::string Specifier;
};

constexpr int64_t kNoTimeLimit = INT64_MAX;
constexpr int kAutomaticChapters = INT_MAX;

struct TOptionsContext {
    int64_t StartTime = 0;
    std::string FormatName;
    TSpecifierList<std::string> CodecNames;
    TSpecifierList<int> AudioChannels;
    TSpecifierList<int> AudioSampleRates;
    TSpecifierList<float> RematrixVolumes;
    TSpecifierList<std::string> FrameRates;
    TSpecifierList<std::string> FrameSizes;
    TSpecifierList<std::string> FramePixFmts;
    int64_t InputTsOffset = 0;
    int RateEmu = 0;
    TSpecifierList<double> TsScales;
    TSpecifierList<std::string> DumpAttachments;
    std::vector<TStreamMap> StreamMaps;
    std::vector<TAudioChannelMap> AudioChannelMaps;
    std::vector<TMetadataMap> MetadataMaps;
    int MetadataGlobalManual = 0;
    int MetadataStreamsManual = 0;
    int MetadataChaptersManual = 0;
    std::vector<std::string> Attachments;
    int ChaptersInputFile = kAutomaticChapters;
    int64_t RecordingTime = kNoTimeLimit;
    int64_t LimitFilesize = kNoTimeLimit;
    float MuxPreload = 0;
    float MuxMaxDelay = 0.7f;
    int VideoDisable = 0;
    int AudioDisable = 0;
    int SubtitleDisable = 0;
    int DataDisable = 0;
    std::vector<int> StreamIdMap;
    TSpecifierList<std::string> Metadata;
    TSpecifierList<int64_t> MaxFrames;
    TSpecifierList<std::string> BitstreamFilters;
    TSpecifierList<std::string> CodecTags;
    TSpecifierList<std::string> SampleFmts;
    TSpecifierList<double> QScales;
    TSpecifierList<std::string> ForcedKeyFrames;
    TSpecifierList<int> ForceFps;
    TSpecifierList<std::string> FrameAspectRatios;
    TSpecifierList<std::string> RcOverrides;
    TSpecifierList<std::string> IntraMatrices;
    TSpecifierList<std::string> InterMatrices;
    TSpecifierList<int> TopFieldFirst;
    TSpecifierList<std::string> MetadataMap;
    TSpecifierList<int> CopyInitialNonkeyframes;
    TSpecifierList<std::string> Filters;
};

// Enlarges a table to newCount entries (new entries default-valued); a table already that large
// is left alone. Refuses sizes whose byte count would not fit a 32-bit signed integer.
template <typename T>
void GrowArray(std::vector<T>& array, int newCount) {
    if (newCount <= static_cast<int>(array.size())) return;
    if (static_cast<int64_t>(newCount) >= INT_MAX / static_cast<int64_t>(sizeof(T)))
        throw FFmpegException("Array too big.");
    try {
        array.resize(newCount);
    } catch (const std::bad_alloc&) {
        throw FFmpegException("Could not alloc buffer.");
    }
}
