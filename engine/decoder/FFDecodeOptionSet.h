#pragma once
// The decoder's option set: a scaler option context carrying the scaler flags, and the codec and
// format option dictionaries handed to libavformat when a file is opened. The decoder makes a
// fresh set around every load, so options set between loads apply to the next load only.
#include <cstdint>
#include <string>

struct AVDictionary;
struct SwsContext;

class TDecoderOptionSet {
public:
    TDecoderOptionSet() = default;
    TDecoderOptionSet(const TDecoderOptionSet&) = delete;
    TDecoderOptionSet& operator=(const TDecoderOptionSet&) = delete;
    // Nothing is freed here: freeing needs the libraries, so the owner calls Free() while they
    // are loaded.
    ~TDecoderOptionSet() = default;

    bool Created() const { return scalerOptions_ != nullptr; }
    // Frees the current set and makes an empty one whose scaler context has `scalerFlags`.
    void Recreate(int scalerFlags);
    void Free();

    void SetFormatOption(const std::string& name, const std::string& value);
    void SetCodecOption(const std::string& name, const std::string& value);
    // libavformat takes the format options by address and leaves in it those it did not use.
    AVDictionary** FormatOptions() { return &formatOptions_; }
    AVDictionary* CodecOptions() const { return codecOptions_; }
    // The scaler context's "sws_flags", or -1 when it cannot be read.
    int64_t ScalerFlags() const;

private:
    SwsContext* scalerOptions_ = nullptr;
    AVDictionary* codecOptions_ = nullptr;
    AVDictionary* formatOptions_ = nullptr;
};
