// gifkit encode: one frame per BMP picture, saved as the application saves its documents.
#include <charconv>
#include <memory>
#include <string>
#include <vector>

#include "gif/model/GIFExtensions.h"
#include "gif/model/GIFImage.h"
#include "platform/Bitmap.h"
#include "tools/gifkit/Commands.h"

namespace {

// What --optimize does: everything that leaves the pictures as they were.
constexpr TGIFOptimizeOptions kOptimization = ooCrop | ooMerge | ooCleanup | ooColorMap;

struct TEncodeOptions {
    int mode = prOctreePlusSystem;
    int dither = edNearest;
    int bits = 8;
    TGIFEncoding encoding = geLZW;
    // Hundredths of a second per frame; -1 leaves the frames without timing.
    int delay = -1;
    bool optimize = false;
    std::string output;
    std::vector<std::string> inputs;
};

int ParseNumber(const std::string& option, const std::string& text, int maximum) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0 || value > maximum)
        throw TUsageError(option + " needs a number from 0 to " + std::to_string(maximum) +
                          ", not \"" + text + "\"");
    return value;
}

TGIFEncoding ParseEncoding(const std::string& text) {
    if (text == "lzw") return geLZW;
    if (text == "rle") return geRLE;
    throw TUsageError("--encoding is lzw or rle, not \"" + text + "\"");
}

TEncodeOptions ParseOptions(const TArguments& arguments) {
    TEncodeOptions options;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool takesValue = argument == "--mode" || argument == "--dither" ||
                                argument == "--bits" || argument == "--encoding" ||
                                argument == "--delay" || argument == "-o";
        if (argument == "--optimize") {
            options.optimize = true;
            continue;
        }
        if (!takesValue) {
            if (argument.size() > 1 && argument[0] == '-')
                throw TUsageError("unknown option \"" + argument + "\"");
            options.inputs.push_back(argument);
            continue;
        }
        if (i + 1 >= arguments.size()) throw TUsageError(argument + " needs a value");
        const std::string& value = arguments[++i];
        // The caller's palette (mode 9) is a library setting gifkit has no way to fill.
        if (argument == "--mode") options.mode = ParseNumber(argument, value, prOctreePlusSystem);
        if (argument == "--dither") options.dither = ParseNumber(argument, value, edBurkes);
        if (argument == "--bits") options.bits = ParseNumber(argument, value, 8);
        if (argument == "--encoding") options.encoding = ParseEncoding(value);
        if (argument == "--delay") options.delay = ParseNumber(argument, value, 0xFFFF);
        if (argument == "-o") options.output = value;
    }
    if (options.output.empty()) throw TUsageError("encode needs -o OUT.gif");
    if (options.inputs.empty()) throw TUsageError("encode needs at least one picture");
    return options;
}

// Gives the frame a delay and, on the first frame, a looping extension (for ever), as the
// program's frame sink does.
void AddTiming(TGIFImage& document, int index, int delay) {
    TGIFSubImage& frame = document.Images()[index];
    if (index == 0) frame.Extensions().Add(std::make_unique<TGIFAppExtNSLoop>(&frame));
    auto control = std::make_unique<TGIFGraphicControlExtension>(&frame);
    control->SetDelay(delay);
    frame.Extensions().Add(std::move(control));
}

}  // namespace

int EncodeCommand(const TArguments& arguments) {
    const TEncodeOptions options = ParseOptions(arguments);
    TGIFImage document;
    document.SetReductionMode(static_cast<TPaletteReduction>(options.mode));
    document.SetDiffusionMode(static_cast<TErrorDiffusion>(options.dither));
    document.SetQuantizeBits(options.bits);
    document.SetEncoding(options.encoding);
    for (const std::string& input : options.inputs) {
        TBitmap picture;
        picture.LoadFromFile(input);
        const int index = document.Add(picture);
        if (options.delay >= 0) AddTiming(document, index, options.delay);
    }
    if (options.optimize)
        document.OptimizeFrames(kOptimization, document.ReductionMode(), document.QuantizeBits(),
                                document.DiffusionMode());
    document.SaveToFile(options.output);
    return 0;
}
