#include "engine/decoder/FFDecodeOptionSet.h"

#include "engine/entrypoints/avutil.h"
#include "engine/entrypoints/swscale.h"

void TDecoderOptionSet::Recreate(int scalerFlags) {
    Free();
    scalerOptions_ = libav::sws_alloc_context();
    if (scalerOptions_ != nullptr) {
        libav::av_opt_set_int(scalerOptions_, "sws_flags", scalerFlags, 0);
    }
}

void TDecoderOptionSet::Free() {
    if (scalerOptions_ != nullptr) {
        libav::sws_freeContext(scalerOptions_);
        scalerOptions_ = nullptr;
    }
    libav::av_dict_free(&codecOptions_);
    libav::av_dict_free(&formatOptions_);
}

void TDecoderOptionSet::SetFormatOption(const std::string& name, const std::string& value) {
    libav::av_dict_set(&formatOptions_, name.c_str(), value.c_str(), 0);
}

void TDecoderOptionSet::SetCodecOption(const std::string& name, const std::string& value) {
    libav::av_dict_set(&codecOptions_, name.c_str(), value.c_str(), 0);
}

int64_t TDecoderOptionSet::ScalerFlags() const {
    int64_t flags = -1;
    if (scalerOptions_ == nullptr ||
        libav::av_opt_get_int(scalerOptions_, "sws_flags", 0, &flags) < 0) {
        return -1;
    }
    return flags;
}
