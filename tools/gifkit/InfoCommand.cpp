// gifkit info: what a GIF file holds, frame by frame.
#include <cstdio>
#include <string>

#include "gif/model/GIFExtensions.h"
#include "gif/model/GIFImage.h"
#include "tools/gifkit/Commands.h"

namespace {

std::string IdentifierText(const TGIFApplicationRec& identifier) {
    std::string text;
    for (uint8_t byte : identifier)
        text += (byte >= 0x20 && byte < 0x7F) ? static_cast<char>(byte) : '?';
    return text;
}

void PrintExtension(const TGIFExtension& extension) {
    if (auto* control = dynamic_cast<const TGIFGraphicControlExtension*>(&extension)) {
        std::printf("  graphic control: disposal %d, delay %d", control->Disposal(),
                    control->Delay());
        if (control->Transparent())
            std::printf(", transparent index %d", control->TransparentColorIndex());
        if (control->UserInput()) std::printf(", user input");
        std::printf("\n");
    } else if (auto* comment = dynamic_cast<const TGIFCommentExtension*>(&extension)) {
        std::printf("  comment: %zu lines\n", comment->Text().size());
    } else if (auto* text = dynamic_cast<const TGIFTextExtension*>(&extension)) {
        const TPlainTextRecord& grid = text->Record();
        std::printf("  plain text: grid %d,%d %dx%d, %zu lines\n", grid.Left, grid.Top, grid.Width,
                    grid.Height, text->Text().size());
    } else if (auto* loop = dynamic_cast<const TGIFAppExtNSLoop*>(&extension)) {
        std::printf("  application %s: loops %d", IdentifierText(loop->Identifier()).c_str(),
                    loop->Loops());
        if (loop->BufferSize() != 0) std::printf(", buffer size %u", loop->BufferSize());
        std::printf("\n");
    } else if (auto* unknown = dynamic_cast<const TGIFUnknownAppExtension*>(&extension)) {
        std::printf("  application %s: %zu data blocks\n",
                    IdentifierText(unknown->Identifier()).c_str(), unknown->Blocks().size());
    } else if (auto* application = dynamic_cast<const TGIFApplicationExtension*>(&extension)) {
        std::printf("  application %s\n", IdentifierText(application->Identifier()).c_str());
    }
}

void PrintFrame(int index, const TGIFSubImage& frame) {
    std::printf("frame %d: ", index);
    if (frame.Empty())
        std::printf("no image\n");
    else
        std::printf("bounds %d,%d %dx%d, local colors %d, interlaced %s\n", frame.Left(),
                    frame.Top(), frame.Width(), frame.Height(), frame.ColorMap().Count(),
                    frame.Interlaced() ? "yes" : "no");
    for (int i = 0; i < frame.Extensions().Count(); ++i) PrintExtension(frame.Extensions()[i]);
}

}  // namespace

int InfoCommand(const TArguments& arguments) {
    if (arguments.size() != 1) throw TUsageError("info needs one GIF file");
    TGIFImage document;
    document.OnDiagnostic = [](TGIFObject*, int, const std::string& message) {
        std::fprintf(stderr, "warning: %s\n", message.c_str());
    };
    document.LoadFromFile(arguments[0]);
    const TGIFHeader& header = document.Header();
    std::printf("version: %s\n", header.SignatureVersion().c_str());
    std::printf("screen: %dx%d, background %d, aspect %d\n", document.Width(), document.Height(),
                header.BackgroundColorIndex(), header.AspectRatio());
    std::printf("global colors: %d\n", header.ColorMap().Count());
    std::printf("frames: %d\n", document.Images().Count());
    for (int i = 0; i < document.Images().Count(); ++i) PrintFrame(i, document.Images()[i]);
    return 0;
}
