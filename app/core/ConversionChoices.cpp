#include "app/core/ConversionChoices.h"

#include "app/core/FrameSink.h"

std::string NamingBase(const std::string& clipFileName, const std::string& outputFolder) {
    if (outputFolder.empty()) return clipFileName;
    const size_t slash = clipFileName.find_last_of('/');
    const std::string name =
        slash == std::string::npos ? clipFileName : clipFileName.substr(slash + 1);
    return outputFolder.back() == '/' ? outputFolder + name : outputFolder + "/" + name;
}

void PrepareSink(TFrameSink& sink, const TConversionChoices& choices,
                 const std::string& clipFileName) {
    sink.SetInputFileName(NamingBase(clipFileName, choices.OutputFolder));
    sink.SetTiming(choices.Timing);
    sink.SetOptimizeFrames(choices.Optimize);
    sink.SetColors(choices.Colors);
    sink.SetQuality(choices.Quality);
    sink.Document().SetDiffusionMode(DiffusionOf(choices.Dither));
    sink.SetPatternDither(choices.Dither == dcPattern);
}
