#include "engine/encoder/FFmpegList.h"

#include "engine/core/TextFormat.h"
#include "platform/Exception.h"

namespace {

template <class T>
T& GrowTo(std::vector<T>& items, int index) {
    if (index < 0) throw Exception(StrFormat("List index out of bounds (%d)", index));
    if (static_cast<size_t>(index) >= items.size()) items.resize(index + 1);
    return items[index];
}

}  // namespace

TFFmpeg::TFFmpeg(TCustomEncoder* encoder) : encoder_(encoder) {}

TFFmpeg::~TFFmpeg() {
    // Routes are cleared only once no thread of the task can still call through them.
    WaitForWorkers();
    Routes.Clear();
    BeforeFindStreamInfo = nullptr;
    decoders_.clear();
    inputOptions_.clear();
    outputOptions_.clear();
}

TFFDecoder& TFFmpeg::Decoders(int inputIndex) {
    std::unique_ptr<TFFDecoder>& decoder = GrowTo(decoders_, inputIndex);
    if (!decoder) decoder = std::make_unique<TFFDecoder>();
    return *decoder;
}

TInputOptions& TFFmpeg::InputOptions(int inputIndex) { return GrowTo(inputOptions_, inputIndex); }

TOutputOptions& TFFmpeg::OutputOptions(int outputIndex) {
    return GrowTo(outputOptions_, outputIndex);
}

int TFFmpegList::Add(std::unique_ptr<TFFmpeg> task) {
    items_.push_back(std::move(task));
    return Count() - 1;
}

void TFFmpegList::Clear() {
    for (std::unique_ptr<TFFmpeg>& task : items_) task.reset();
    items_.clear();
}

void TFFmpegList::Delete(int index) {
    CheckIndex(index);
    items_[index].reset();
    items_.erase(items_.begin() + index);
}

TFFmpeg& TFFmpegList::Items(int index) const {
    CheckIndex(index);
    return *items_[index];
}

int TFFmpegList::IndexOf(const TCustomFFmpeg* task) const {
    for (size_t i = 0; i < items_.size(); i++)
        if (items_[i].get() == task) return static_cast<int>(i);
    return -1;
}

void TFFmpegList::SuspendAll() {
    for (const std::unique_ptr<TFFmpeg>& task : items_) task->SuspendWorker();
}

void TFFmpegList::ResumeAll() {
    for (const std::unique_ptr<TFFmpeg>& task : items_) task->ResumeWorker();
}

void TFFmpegList::StopAll(bool wait) {
    for (const std::unique_ptr<TFFmpeg>& task : items_) task->StopTask(wait);
}

void TFFmpegList::SetPreview(bool on) { SetFlagOfAll(kPreviewWindow, on); }

void TFFmpegList::SetPreviewBitmap(bool on) { SetFlagOfAll(kPreviewBitmap, on); }

void TFFmpegList::CheckIndex(int index) const {
    if (index < 0 || index >= Count())
        throw Exception(StrFormat("List index out of bounds (%d)", index));
}

void TFFmpegList::SetFlagOfAll(int flag, bool on) {
    for (const std::unique_ptr<TFFmpeg>& task : items_) {
        const int flags = task->Flags();
        task->SetFlags(on ? flags | flag : flags & ~flag);
    }
}
