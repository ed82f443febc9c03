#include "engine/task/FFmpegRunState.h"

#include "engine/entrypoints/avcodec.h"
#include "engine/entrypoints/avutil.h"

TTaskRunState::~TTaskRunState() { ReleaseBuffers(); }

void TTaskRunState::ReleaseBuffers() {
    if (VStatsFile) std::fclose(VStatsFile);
    VStatsFile = nullptr;
    NoPacket.clear();
    NoPacket.shrink_to_fit();
    SubtitleBuffer.clear();
    SubtitleBuffer.shrink_to_fit();
    // nothing of the libraries was made without them
    if (!libav::av_free || !libav::av_packet_free) return;
    VideoPacketBuffer.reset();
    libav::av_packet_free(&Packet);
    libav::av_packet_free(&EncodedPacket);
    libav::av_freep(&AudioBuffer);
    AudioBufferSize = 0;
    libav::av_freep(&SilenceBuffer);
    SilenceBufferSize = 0;
}
