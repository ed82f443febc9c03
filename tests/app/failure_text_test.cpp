// The sentences a failed conversion is told with: the file named once, the cause in words a
// user can act on where the engine's own text would mislead (running out of memory, a file cut
// short), the engine's text kept where it says what happened.
#include <gtest/gtest.h>

#include "app/core/FailureText.h"

namespace {

TEST(FailureText, NamesTheFileAndTheCause) {
    const std::pair<const char*, const char*> cases[] = {
        {"std::bad_alloc",
         "clip.mp4: there was not enough memory to convert it (a smaller frame size needs less)"},
        {"clip.mp4: I/O error",
         "clip.mp4: the file is cut short or damaged: it ends inside its header (I/O error)"},
        {"End of file",
         "clip.mp4: the file is cut short or damaged: it ends inside its header (End of file)"},
        {"Output file #0 does not contain any stream",
         "clip.mp4: its video cannot be decoded: the file is cut short or damaged"},
        {"Error opening filters: Invalid argument / Invalid data found when processing input",
         "clip.mp4: its video cannot be decoded: the file is cut short or damaged"},
        // said well enough already: named once
        {"Invalid data found when processing input",
         "clip.mp4: Invalid data found when processing input"},
        {"clip.mp4: No such file or directory", "clip.mp4: No such file or directory"},
        {"Cannot write out.gif: No space left on device",
         "clip.mp4: Cannot write out.gif: No space left on device"},
    };
    for (const auto& [message, sentence] : cases)
        EXPECT_EQ(ConversionFailureText("clip.mp4", message), sentence) << message;
}

}  // namespace
