#include "gif/model/GIFList.h"

#include "gif/core/GIFException.h"
#include "gif/format/GIFStreamIO.h"
#include "gif/model/GIFExtensionRegistry.h"
#include "gif/model/GIFExtensions.h"
#include "gif/model/GIFImage.h"
#include "gif/model/GIFSubImage.h"
#include "platform/Stream.h"

namespace {

// The class of an application extension, from its block size and identifier; the stream is
// just past the label.
TGIFExtensionFactory ApplicationExtensionClass(TStream& stream) {
    if (ReadGIFByte(stream) == 11) {
        TGIFApplicationRec identifier;
        ReadGIFBytes(stream, identifier.data(), identifier.size());
        if (TGIFExtensionFactory factory = AppExtensionList().Find(identifier)) return factory;
    }
    return MakeGIFExtension<TGIFUnknownAppExtension>;
}

// The class of the extension at the stream's position, which is left unchanged.
TGIFExtensionFactory ExtensionClass(TStream& stream) {
    const int64_t start = stream.Position();
    ReadGIFByte(stream);
    const uint8_t label = ReadGIFByte(stream);
    TGIFExtensionFactory factory = ExtensionList().Find(label);
    if (!factory) throw GIFException("Unknown extension type");
    if (label == bsApplicationExtension) factory = ApplicationExtensionClass(stream);
    stream.SetPosition(start);
    return factory;
}

}  // namespace

TGIFExtension& TGIFExtensionList::operator[](int index) const {
    return static_cast<TGIFExtension&>(Item(index));
}

int TGIFExtensionList::Add(std::unique_ptr<TGIFExtension> extension) {
    extension->SetSubImage(&subImage_);
    extension->SetImage(Image());
    TGIFExtension& added = *extension;
    const int index = AppendItem(std::move(extension));
    subImage_.ExtensionAdded(added);
    return index;
}

void TGIFExtensionList::Detaching(TGIFItem& item) {
    subImage_.ExtensionRemoved(static_cast<TGIFExtension&>(item));
}

void TGIFExtensionList::ChargeReading(uint64_t streamBytes) {
    if (!Image()) return;
    Image()->ReadBudget().Charge(TGIFReadBudget::kExtensionRecordBytes +
                                 TGIFReadBudget::kExtensionBytesPerStreamByte * streamBytes);
}

void TGIFExtensionList::LoadFromStream(TStream& stream) {
    for (int next = PeekGIFByte(stream); next == bsExtensionIntroducer;
         next = PeekGIFByte(stream)) {
        const int64_t start = stream.Position();
        std::unique_ptr<TGIFExtension> extension = ExtensionClass(stream)(&subImage_);
        extension->LoadFromStream(stream);
        ChargeReading(static_cast<uint64_t>(stream.Position() - start));
        Add(std::move(extension));
    }
    const int next = PeekGIFByte(stream);
    if (next >= 0 && next != bsImageDescriptor && next != bsTrailer)
        Warning(1, "Invalid extension introducer");
}
