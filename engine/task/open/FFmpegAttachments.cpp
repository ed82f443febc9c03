// Attachments: writing an input's attachment out to a file (-dump_attachment) and adding files
// to an output as attachment streams (-attach).
#include "engine/core/TextFormat.h"
#include "engine/core/UnicodeProtocol.h"
#include "engine/entrypoints/avformat.h"
#include "engine/entrypoints/avutil.h"
#include "engine/task/open/FFmpegOpenSteps.h"

namespace {

// A name with a protocol prefix other than "file:" (a colon that is not a drive letter's).
bool HasProtocolPrefix(const std::string& name) {
    const size_t colon = name.find(':');
    return colon != std::string::npos && colon != 1 && name.rfind("file:", 0) != 0;
}

// The part of the path after its last folder separator ("/", else "\").
std::string AttachmentName(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash + 1 == path.size()) slash = path.rfind('\\');
    if (slash == std::string::npos || slash + 1 == path.size()) return path;
    return path.substr(slash + 1);
}

}  // namespace

void TCustomFFmpeg::DumpAttachment(int istIndex, const std::string& fileName) {
    const TInputStream& ist = InputStreams[istIndex];
    const AVStream* st = ist.St;
    if (!st->codecpar->extradata) {
        Log(llWarning,
            StrFormat("No extradata to dump in stream #%d:%d.", ist.FileIndex, st->index));
        return;
    }
    std::string name = fileName;
    if (name.empty()) {
        if (const AVDictionaryEntry* e = libav::av_dict_get(st->metadata, "filename", nullptr, 0))
            name = e->value;
    }
    if (name.empty())
        FatalError(StrFormat("No filename specified and no \"filename\" tag in stream #%d:%d.",
                             ist.FileIndex, st->index));
    const bool overwrite = FileOverwrite && !NoFileOverwrite;
    if (!HasProtocolPrefix(name) && !overwrite && libav::avio_check(name.c_str(), 0) >= 0) {
        LastError = StrFormat("File \"%s\" already exists. Ignore.", name.c_str());
        Log(llWarning, LastError);
        return;
    }
    Run.OutputIOStart.Start();
    AVIOContext* out = nullptr;
    const AVIOInterruptCB callback = OutputInterruptCallback();
    if (libav::avio_open2(&out, WideToLibName(name).c_str(), AVIO_FLAG_WRITE, &callback, nullptr) <
        0) {
        Log(llWarning, StrFormat("Could not open file %s for writing.", name.c_str()));
        return;
    }
    libav::avio_write(out, st->codecpar->extradata, st->codecpar->extradata_size);
    libav::avio_flush(out);
    libav::avio_closep(&out);
}

// Each -attach file becomes an attachment stream holding the whole file. False, with the
// message in LastError, when a file cannot be read.
bool AddAttachments(TCustomFFmpeg& task, TOptionsContext& o, AVFormatContext* oc) {
    for (const std::string& path : o.Attachments) {
        task.Run.InputIOStart.Start();
        AVIOContext* pb = nullptr;
        const AVIOInterruptCB callback = task.InputInterruptCallback();
        if (libav::avio_open2(&pb, WideToLibName(path).c_str(), AVIO_FLAG_READ, &callback,
                              nullptr) < 0) {
            task.LastError = StrFormat("Could not open attachment file %s.", path.c_str());
            return false;
        }
        const int64_t size = libav::avio_size(pb);
        if (size <= 0) {
            libav::avio_closep(&pb);
            task.LastError = StrFormat("Could not get size of the attachment %s.", path.c_str());
            return false;
        }
        uint8_t* data =
            size < INT_MAX - AV_INPUT_BUFFER_PADDING_SIZE
                ? static_cast<uint8_t*>(libav::av_mallocz(size + AV_INPUT_BUFFER_PADDING_SIZE))
                : nullptr;
        if (!data) {
            libav::avio_closep(&pb);
            task.LastError = StrFormat("Attachment %s too large to fit into memory.", path.c_str());
            return false;
        }
        task.Run.InputIOStart.Start();
        libav::avio_read(pb, data, static_cast<int>(size));
        libav::avio_closep(&pb);

        const int index = NewAttachmentStream(task, o, oc);
        TOutputStream& ost = task.OutputStreams[index];
        ost.SourceIndex = -1;
        ost.SyncIstIndex = -1;
        ost.AttachmentFilename = path;
        AVCodecParameters* par = ost.St->codecpar;
        par->codec_type = AVMEDIA_TYPE_ATTACHMENT;
        libav::av_freep(&par->extradata);
        par->extradata = data;
        par->extradata_size = static_cast<int>(size);
        libav::av_dict_set(&ost.St->metadata, "filename", AttachmentName(path).c_str(),
                           AV_DICT_DONT_OVERWRITE);
    }
    return true;
}
