// -map and -map_channel: which input streams and audio channels feed the next output.
#include "engine/task/options/FFmpegOptionHandlers.h"

#include <cstdio>
#include <cstdlib>

#include "engine/core/TextFormat.h"
#include "engine/task/options/FFmpegStreamSpecifier.h"

namespace {

template <typename T>
void Append(std::vector<T>& table, const T& item) {
    GrowArray(table, static_cast<int>(table.size()) + 1);
    table.back() = item;
}

}  // namespace

int MapStreams(TCustomFFmpeg& task, TOptionsContext& o, const std::string&,
               const std::string& arg) {
    const bool negative = !arg.empty() && arg[0] == '-';
    std::string map = negative ? arg.substr(1) : arg;
    int syncFile = -1;
    int syncStream = -1;
    const size_t comma = map.find(',');
    if (comma != std::string::npos) {
        const std::string sync = map.substr(comma + 1);
        map.resize(comma);
        char* p = nullptr;
        syncFile = static_cast<int>(std::strtol(sync.c_str(), &p, 0));
        if (syncFile < 0 || syncFile >= static_cast<int>(task.InputFiles.size()))
            task.FatalError(StrFormat("Invalid sync file index: %d.", syncFile));
        if (*p) ++p;
        const TInputFile& f = task.InputFiles[syncFile];
        for (int i = 0; i < f.NbStreams; i++) {
            if (check_stream_specifier(f.Ctx, f.Ctx->streams[i], p) == 1) {
                syncStream = i;
                break;
            }
        }
        if (syncStream < 0)
            task.FatalError(StrFormat(
                "Sync stream specification in map %s does not match any streams.", arg.c_str()));
    }
    char* p = nullptr;
    const int fileIndex = static_cast<int>(std::strtol(map.c_str(), &p, 0));
    if (fileIndex < 0 || fileIndex >= static_cast<int>(task.InputFiles.size()))
        task.FatalError(StrFormat("Invalid input file index: %d.", fileIndex));
    if (*p == ':') ++p;
    const std::string spec = p;
    const TInputFile& f = task.InputFiles[fileIndex];
    bool touched = false;
    if (negative) {
        for (TStreamMap& m : o.StreamMaps) {
            touched = true;
            if (m.FileIndex == fileIndex &&
                check_stream_specifier(f.Ctx, f.Ctx->streams[m.StreamIndex], spec) > 0)
                m.Disabled = 1;
        }
    } else {
        for (int i = 0; i < f.NbStreams; i++) {
            if (check_stream_specifier(f.Ctx, f.Ctx->streams[i], spec) <= 0) continue;
            TStreamMap m;
            m.FileIndex = fileIndex;
            m.StreamIndex = i;
            m.SyncFileIndex = syncFile >= 0 ? syncFile : fileIndex;
            m.SyncStreamIndex = syncFile >= 0 ? syncStream : i;
            Append(o.StreamMaps, m);
            touched = true;
        }
    }
    if (!touched) task.FatalError(StrFormat("Stream map \"%s\" matches no streams.", arg.c_str()));
    return 0;
}

int OptMapChannel(TCustomFFmpeg& task, TOptionsContext& o, const std::string&,
                  const std::string& arg) {
    TAudioChannelMap m;
    int n =
        std::sscanf(arg.c_str(), "%d:%d.%d", &m.ChannelIndex, &m.OutFileIndex, &m.OutStreamIndex);
    if ((n == 1 || n == 3) && m.ChannelIndex == -1) {
        // a muted channel
        m.FileIndex = m.StreamIndex = -1;
        if (n == 1) m.OutFileIndex = m.OutStreamIndex = -1;
        Append(o.AudioChannelMaps, m);
        return 0;
    }
    m = TAudioChannelMap{};
    n = std::sscanf(arg.c_str(), "%d.%d.%d:%d.%d", &m.FileIndex, &m.StreamIndex, &m.ChannelIndex,
                    &m.OutFileIndex, &m.OutStreamIndex);
    if (n != 3 && n != 5)
        task.FatalError(
            "Syntax error, mapchan usage: [file.stream.channel|-1][:syncfile:syncstream]");
    if (n != 5) m.OutFileIndex = m.OutStreamIndex = -1;
    if (m.FileIndex < 0 || m.FileIndex >= static_cast<int>(task.InputFiles.size()))
        task.FatalError(StrFormat("mapchan: invalid input file index: %d", m.FileIndex));
    const TInputFile& f = task.InputFiles[m.FileIndex];
    if (m.StreamIndex < 0 || m.StreamIndex >= f.NbStreams)
        task.FatalError(StrFormat("mapchan: invalid input file stream index #%d.%d", m.FileIndex,
                                  m.StreamIndex));
    const AVCodecParameters* par = f.Ctx->streams[m.StreamIndex]->codecpar;
    if (par->codec_type != AVMEDIA_TYPE_AUDIO)
        task.FatalError(StrFormat("mapchan: stream #%d.%d is not an audio stream.", m.FileIndex,
                                  m.StreamIndex));
    if (m.ChannelIndex < 0 || m.ChannelIndex >= par->ch_layout.nb_channels)
        task.FatalError(StrFormat("mapchan: invalid audio channel #%d.%d.%d", m.FileIndex,
                                  m.StreamIndex, m.ChannelIndex));
    Append(o.AudioChannelMaps, m);
    return 0;
}
