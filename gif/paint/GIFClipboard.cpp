// A document on the clipboard: its picture for any program, its GIF stream for GIF readers.
#include "gif/core/GIFException.h"
#include "gif/model/GIFImage.h"
#include "platform/Clipboard.h"
#include "platform/Stream.h"

void TGIFImage::SaveToClipboard(TClipboard& clipboard) {
    TMemoryStream stream;
    SaveToStream(stream);
    if (!clipboard.SetContent(Bitmap(), {{kGIFClipboardFormat, stream.Data()}}))
        throw GIFException("Failed to store GIF on clipboard");
}

void TGIFImage::LoadFromClipboard(TClipboard& clipboard) {
    if (clipboard.HasFormat(kGIFClipboardFormat)) {
        TMemoryStream stream(clipboard.Data(kGIFClipboardFormat));
        LoadFromStream(stream);
        return;
    }
    if (clipboard.HasBitmap()) {
        TBitmap bitmap = clipboard.Bitmap();
        Assign(bitmap);
        return;
    }
    throw GIFException("Unsupported clipboard format");
}
