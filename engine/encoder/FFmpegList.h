#pragma once
// The encoder's tasks: TFFmpeg, a conversion task that also keeps what the application passed
// in with its inputs and outputs, and TFFmpegList, the ordered list of them that owns them.
#include <memory>
#include <vector>

#include "engine/decoder/FFDecode.h"
#include "engine/encoder/EncoderRecords.h"
#include "engine/task/FFmpegTask.h"

class TCustomEncoder;

class TFFmpeg : public TCustomFFmpeg {
public:
    explicit TFFmpeg(TCustomEncoder* encoder);
    // Stops a running task and waits for its threads, clears every route into the encoder,
    // then frees the decoders and records (and the task itself).
    ~TFFmpeg() override;

    TCustomEncoder* Encoder() const { return encoder_; }

    // The decoder of an input, made on first use. It is given the input's context when the
    // input is opened and may inspect it until the task starts.
    TFFDecoder& Decoders(int inputIndex);
    // The records passed with each input and output, by index (grown on demand).
    TInputOptions& InputOptions(int inputIndex);
    TOutputOptions& OutputOptions(int outputIndex);

private:
    TCustomEncoder* const encoder_;
    std::vector<std::unique_ptr<TFFDecoder>> decoders_;
    std::vector<TInputOptions> inputOptions_;
    std::vector<TOutputOptions> outputOptions_;
};

// The tasks in the order they were added; the list owns them. An index outside the list raises
// "List index out of bounds (%d)".
class TFFmpegList {
public:
    TFFmpegList() = default;
    ~TFFmpegList() { Clear(); }
    TFFmpegList(const TFFmpegList&) = delete;
    TFFmpegList& operator=(const TFFmpegList&) = delete;

    // Takes the task; returns its index.
    int Add(std::unique_ptr<TFFmpeg> task);
    // Frees every task (each stops and is waited for), then empties the list.
    void Clear();
    // Frees one task and takes it out.
    void Delete(int index);
    TFFmpeg& Items(int index) const;
    // -1 when the task is not in the list.
    int IndexOf(const TCustomFFmpeg* task) const;
    int Count() const { return static_cast<int>(items_.size()); }

    // Pause and resume the workers of the running tasks.
    void SuspendAll();
    void ResumeAll();
    // StopTask on every task in order.
    void StopAll(bool wait);
    // Sets or clears the preview window bit, or the preview bitmap bit, of every task.
    void SetPreview(bool on);
    void SetPreviewBitmap(bool on);

private:
    void CheckIndex(int index) const;
    void SetFlagOfAll(int flag, bool on);

    std::vector<std::unique_ptr<TFFmpeg>> items_;
};
