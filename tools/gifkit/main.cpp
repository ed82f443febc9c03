// gifkit: writes GIF files from BMP pictures with the GIF library, describes GIF files and
// extracts their frames. Exit status: 0 done, 1 failed, 2 usage error.
#include <cstdio>
#include <exception>
#include <string>

#include "tools/gifkit/Commands.h"

namespace {

const char* const kUsage =
    "usage:\n"
    "  gifkit encode [--mode N] [--dither N] [--bits N] [--encoding lzw|rle] [--delay CS]\n"
    "               [--optimize] -o OUT.gif IN.bmp...\n"
    "      a GIF with one frame per picture (mode: palette reduction 0-8, default 8;\n"
    "      dither: error diffusion 0-6, default 0; bits: octree palette bits, default 8;\n"
    "      delay: hundredths of a second per frame, with a looping extension; optimize:\n"
    "      crop, merge and clean up the frames and sort their colour tables, pictures kept)\n"
    "  gifkit info FILE.gif\n"
    "      version, logical screen, colour tables, frames and their extensions\n"
    "  gifkit decode FILE.gif PREFIX\n"
    "      every frame as PREFIX_000.bmp, PREFIX_001.bmp ... (8-bit, the frame's colours)\n";

int Dispatch(const std::string& command, const TArguments& arguments) {
    if (command == "encode") return EncodeCommand(arguments);
    if (command == "info") return InfoCommand(arguments);
    if (command == "decode") return DecodeCommand(arguments);
    throw TUsageError("unknown command \"" + command + "\"");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    try {
        return Dispatch(argv[1], TArguments(argv + 2, argv + argc));
    } catch (const TUsageError& error) {
        std::fprintf(stderr, "gifkit: %s\n%s", error.what(), kUsage);
        return 2;
    } catch (const std::bad_alloc&) {
        std::fputs("Out of memory\n", stderr);
        return 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
}
