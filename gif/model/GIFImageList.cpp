#include "gif/model/GIFList.h"

#include "gif/format/GIFStreamIO.h"
#include "gif/model/GIFExtensions.h"
#include "gif/model/GIFImage.h"
#include "gif/model/GIFSubImage.h"
#include "platform/Stream.h"

namespace {

void SkipZeroBytes(TStream& stream) {
    while (PeekGIFByte(stream) == 0) ReadGIFByte(stream);
}

}  // namespace

TGIFSubImage& TGIFImageList::operator[](int index) const {
    return static_cast<TGIFSubImage&>(Item(index));
}

int TGIFImageList::Add(std::unique_ptr<TGIFSubImage> frame) { return AppendItem(std::move(frame)); }

void TGIFImageList::LoadFromStream(TStream& stream) {
    const int64_t size = stream.Size();
    SkipZeroBytes(stream);
    for (int next = PeekGIFByte(stream); next >= 0 && next != bsTrailer;
         next = PeekGIFByte(stream)) {
        if (next != bsExtensionIntroducer && next != bsImageDescriptor) {
            Warning(1, "Unknown GIF block type");
            break;
        }
        if (Image()) Image()->ReadBudget().Charge(TGIFReadBudget::kFrameRecordBytes);
        auto frame = std::make_unique<TGIFSubImage>(Image());
        frame->LoadFromStream(stream);
        Add(std::move(frame));
        if (Image() && size > 0)
            Image()->Progress(psRunning, static_cast<int>(stream.Position() * 100 / size), false,
                              "Loading...");
        SkipZeroBytes(stream);
    }
}
