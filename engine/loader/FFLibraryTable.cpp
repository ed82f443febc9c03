#include "engine/loader/FFLibraryTable.h"

extern "C" {
#include <libavcodec/version.h>
#include <libavdevice/version.h>
#include <libavfilter/version.h>
#include <libavformat/version.h>
#include <libavutil/version.h>
#include <libswresample/version.h>
#include <libswscale/version.h>
}

#include "engine/entrypoints/avcodec.h"
#include "engine/entrypoints/avdevice.h"
#include "engine/entrypoints/avfilter.h"
#include "engine/entrypoints/avformat.h"
#include "engine/entrypoints/avutil.h"
#include "engine/entrypoints/libc.h"
#include "engine/entrypoints/swresample.h"
#include "engine/entrypoints/swscale.h"

namespace {

const TLibraryItem libraryTable[LibraryCount] = {
    {libAVCodec, "avcodec", false, LIBAVCODEC_VERSION_MAJOR, AvcodecEntryPoints},
    {libAVDevice, "avdevice", false, LIBAVDEVICE_VERSION_MAJOR, AvdeviceEntryPoints},
    {libAVFilter, "avfilter", false, LIBAVFILTER_VERSION_MAJOR, AvfilterEntryPoints},
    {libAVFormat, "avformat", false, LIBAVFORMAT_VERSION_MAJOR, AvformatEntryPoints},
    {libAVUtil, "avutil", false, LIBAVUTIL_VERSION_MAJOR, AvutilEntryPoints},
    {libSWResample, "swresample", false, LIBSWRESAMPLE_VERSION_MAJOR, SwresampleEntryPoints},
    {libSWScale, "swscale", false, LIBSWSCALE_VERSION_MAJOR, SwscaleEntryPoints},
    {libC, "c", true, 6, LibcEntryPoints},
};

}  // namespace

const TLibraryItem& LibraryItem(TLibraryId id) { return libraryTable[id]; }
