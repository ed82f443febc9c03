// Saving the sink's document: the names beside the input, an output without frames, a file
// that appears at the target while the document is written, a chosen output name, and saves
// that fail. No case may leave a partial file or replace an existing one.
#include <algorithm>
#include <fstream>

#include "platform/Stream.h"
#include "tests/app/SinkTestSupport.h"

namespace {

using namespace sinktest;

void WriteText(const std::string& fileName, const std::string& text) {
    std::ofstream(fileName, std::ios::binary) << text;
}

std::string ReadText(const std::string& fileName) {
    const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(fileName);
    return std::string(bytes.begin(), bytes.end());
}

class SinkSaveTest : public SinkTest {
protected:
    const std::vector<TPixels> frames = {SolidFrame(3, 2, 200, 10, 10)};
};

TEST_F(SinkSaveTest, NamesBesideTheInputNeverRepeatOrReplace) {
    Convert(frames, 3, 2);
    EXPECT_EQ(sink.SavedFileName(), dir.File("holiday_(new).gif"));
    Convert(frames, 3, 2);
    EXPECT_EQ(sink.SavedFileName(), dir.File("holiday_(new_1).gif"));
    Convert(frames, 3, 2);
    EXPECT_EQ(sink.SavedFileName(), dir.File("holiday_(new_2).gif"));
    EXPECT_EQ(FolderNames(dir.Path()),
              (std::vector<std::string>{"holiday_(new).gif", "holiday_(new_1).gif",
                                        "holiday_(new_2).gif"}));
}

TEST_F(SinkSaveTest, GifInputStaysUntouched) {
    WriteText(dir.File("anim.gif"), "the input");
    sink.SetInputFileName(dir.File("anim.gif"));
    Convert(frames, 3, 2);
    EXPECT_EQ(sink.SavedFileName(), dir.File("anim_(new).gif"));
    EXPECT_EQ(ReadText(dir.File("anim.gif")), "the input");
    EXPECT_EQ(TReadBack(sink.SavedFileName()).Count(), 1);
}

TEST_F(SinkSaveTest, OutputWithoutFramesWritesNothingAndFails) {
    TRawRgbOutput output(adapter, 3, 2, {1, 25});
    ASSERT_EQ(output.Start(), 0);
    EXPECT_EQ(output.Finish(), AVERROR_EXTERNAL);
    EXPECT_EQ(output.HandlerError(), TFrameSink::kNoFramesMessage);
    EXPECT_TRUE(FolderNames(dir.Path()).empty());
    EXPECT_EQ(sink.SavedFileName(), "");
    EXPECT_EQ(window.Lines.back(), "Frame output write close");
    EXPECT_EQ(window.Calls, (std::vector<std::string>{"busy", "default"}));

    // Only short packets: no frame either.
    TRawRgbOutput shortOnly(adapter, 3, 2, {1, 25});
    ASSERT_EQ(shortOnly.Start(), 0);
    ASSERT_EQ(shortOnly.Write(TPixels(17, 0), 0), 0);
    EXPECT_EQ(shortOnly.Finish(), AVERROR_EXTERNAL);
    EXPECT_EQ(shortOnly.HandlerError(), TFrameSink::kNoFramesMessage);
    EXPECT_TRUE(FolderNames(dir.Path()).empty());
}

// The document's "Saving..." progress comes while the temporary file is written: the moment
// another program may create the target.
TEST_F(SinkSaveTest, FileAppearingAtTheTargetMeanwhileIsNotReplaced) {
    const std::string target = dir.File("holiday_(new).gif");
    sink.Document().OnProgress = [&](TGIFObject*, TProgressStage stage, int, bool, const TRect&,
                                     const std::string& message) {
        if (stage == psStarting && message == "Saving..." && !testsupport::FileExists(target))
            WriteText(target, "somebody else's");
    };
    Convert(frames, 3, 2);
    EXPECT_EQ(ReadText(target), "somebody else's");
    EXPECT_EQ(sink.SavedFileName(), dir.File("holiday_(new_1).gif"));
    EXPECT_EQ(TReadBack(sink.SavedFileName()).Count(), 1);
    EXPECT_EQ(FolderNames(dir.Path()),
              (std::vector<std::string>{"holiday_(new).gif", "holiday_(new_1).gif"}));
}

TEST_F(SinkSaveTest, ChosenOutputNameIsUsedButNeverReplaced) {
    const std::string chosen = dir.File("out.gif");
    sink.SetOutputFileName(chosen);
    Convert(frames, 3, 2);
    EXPECT_EQ(sink.SavedFileName(), chosen);
    const std::vector<uint8_t> first = testsupport::ReadFileBytes(chosen);

    // The name exists now: the second output fails and leaves it alone.
    TRawRgbOutput output(adapter, 3, 2, {1, 25});
    ASSERT_EQ(output.Start(), 0);
    ASSERT_EQ(output.Write(SolidFrame(3, 2, 0, 0, 0), 0), 0);
    EXPECT_EQ(output.Finish(), AVERROR_EXTERNAL);
    EXPECT_EQ(output.HandlerError(), "Cannot create file \"" + chosen + "\". File exists");
    EXPECT_EQ(testsupport::ReadFileBytes(chosen), first);
    EXPECT_EQ(FolderNames(dir.Path()), (std::vector<std::string>{"out.gif"}));
    EXPECT_EQ(sink.SavedFileName(), "");
    EXPECT_EQ(window.Calls.back(), "default");
}

TEST_F(SinkSaveTest, SaveThatFailsLeavesNoFileAndRestoresTheCursor) {
    sink.SetInputFileName(dir.File("missing-folder/holiday.mp4"));
    TRawRgbOutput output(adapter, 3, 2, {1, 25});
    ASSERT_EQ(output.Start(), 0);
    ASSERT_EQ(output.Write(frames[0], 0), 0);
    EXPECT_EQ(output.Finish(), AVERROR_EXTERNAL);
    EXPECT_EQ(output.HandlerError(), "Cannot create file \"" +
                                         dir.File("missing-folder/holiday_(new).gif") +
                                         "\". No such file or directory");
    EXPECT_EQ(window.Calls, (std::vector<std::string>{"busy", "default"}));

    // An error once the temporary file is there, whether the document is kept or written as
    // the frames come: the temporary file goes too.
    sink.SetInputFileName(dir.File("holiday.mp4"));
    sink.Document().OnProgress = [](TGIFObject*, TProgressStage stage, int, bool, const TRect&,
                                    const std::string& message) {
        if (stage == psStarting && message == "Saving...") throw EStreamError("disk full");
    };
    for (const bool keep : {false, true}) {
        sink.SetKeepFrames(keep);
        TRawRgbOutput failing(adapter, 3, 2, {1, 25});
        ASSERT_EQ(failing.Start(), 0);
        ASSERT_EQ(failing.Write(frames[0], 0), 0);
        EXPECT_EQ(failing.Finish(), AVERROR_EXTERNAL);
        EXPECT_EQ(failing.HandlerError(), "disk full");
        EXPECT_TRUE(FolderNames(dir.Path()).empty());
    }
}

TEST_F(SinkSaveTest, AKeptDocumentHasItsFramesUntilTheNextOutput) {
    sink.SetKeepFrames(true);
    Convert({frames[0], frames[0]}, 3, 2);
    EXPECT_EQ(sink.Document().Images().Count(), 2);
    EXPECT_EQ(sink.SavedFrames(), 2);
    TRawRgbOutput output(adapter, 3, 2, {1, 25});
    ASSERT_EQ(output.Start(), 0);
    EXPECT_EQ(sink.Document().Images().Count(), 0);
    EXPECT_EQ(sink.SavedFileName(), "");
    EXPECT_EQ(sink.SavedFrames(), 0);
}

// Written as they come, the frames leave the document; the GIF's size and frame count stay
// to be read.
TEST_F(SinkSaveTest, AWrittenGifLeavesItsSizeAndFrameCount) {
    Convert({frames[0], frames[0], frames[0]}, 3, 2);
    EXPECT_EQ(sink.Document().Images().Count(), 0);
    EXPECT_EQ(sink.SavedFrames(), 3);
    EXPECT_EQ(sink.Document().Width(), 3);
    EXPECT_EQ(sink.Document().Height(), 2);
    EXPECT_EQ(TReadBack(sink.SavedFileName()).Count(), 3);
}

}  // namespace
