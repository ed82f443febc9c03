// Fuzz target: a GIF file read into a document, its frames walked and the document written
// again.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "gif/model/GIFImage.h"
#include "platform/Exception.h"
#include "platform/Stream.h"

namespace {

// Within libFuzzer's default memory limit of 2 GB with room for the sanitizers.
constexpr uint64_t kDocumentBytes = uint64_t{512} << 20;
// Writing runs the LZW coder over every pixel; larger documents are only read.
constexpr size_t kMaxPixelsToWrite = 1 << 22;

size_t Walk(TGIFImage& document) {
    size_t pixels = 0;
    unsigned checksum = 0;
    for (int i = 0; i < document.Images().Count(); ++i) {
        TGIFSubImage& frame = document.Images()[i];
        if (frame.Empty()) continue;
        for (int y = 0; y < frame.Height(); ++y) checksum += frame.ScanLine(y)[frame.Width() - 1];
        pixels += frame.DataSize();
        frame.ActiveColorMap();
    }
    return checksum == 0xFFFFFFFF ? 0 : pixels;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TGIFImage document;
    TGIFReadLimits limits;
    limits.MaxDocumentBytes = kDocumentBytes;
    document.SetReadLimits(limits);
    try {
        TMemoryStream input(std::vector<uint8_t>(data, data + size));
        document.LoadFromStream(input);
    } catch (const Exception&) {
        return 0;
    }
    if (Walk(document) > kMaxPixelsToWrite) return 0;
    try {
        TMemoryStream output;
        document.SaveToStream(output);
        TGIFImage again;
        TMemoryStream reread(output.Data());
        again.LoadFromStream(reread);
    } catch (const Exception&) {
        // Frames whose indices lie outside their colour table cannot be written.
    }
    return 0;
}
