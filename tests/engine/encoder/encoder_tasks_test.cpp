// The encoder's task list outside a run: properties, adding tasks and outputs with their
// records, the errors of opening and of option strings, removing and clearing, and the
// operations refused while the encoder works.
#include "engine/task/FFmpegVideoHooks.h"
#include "tests/engine/encoder/encoder_test_support.h"

using encodertest::EncoderTest;
using encodertest::TFrameCounter;
using encodertest::TTerminateLog;
using testsupport::ErrorOf;

namespace {

class EncoderTasksTest : public EncoderTest {};

TEST(EncoderRecordsTest, ResetRoutinesGiveTheDefaults) {
    TInputOptions input{"a.mp4", "-ss 1", "k=v", 7, 8};
    ResetInputOptions(input);
    EXPECT_EQ(input.FileName, "");
    EXPECT_EQ(input.Options, "");
    EXPECT_EQ(input.Presets, "");
    EXPECT_EQ(input.Reserved1, 0);
    EXPECT_EQ(input.Reserved2, 0);

    TOutputOptions output;
    output.FileName = "b.gif";
    output.AudioHook = output.VideoInputHook = output.VideoOutputHook = true;
    output.FrameInputHook = output.FrameOutputHook = output.Join = true;
    output.VideoHookBitsPixel = 8;
    output.Reserved1 = 3;
    ResetOutputOptions(output);
    EXPECT_EQ(output.FileName, "");
    EXPECT_FALSE(output.AudioHook || output.VideoInputHook || output.VideoOutputHook ||
                 output.FrameInputHook || output.FrameOutputHook || output.Join);
    EXPECT_EQ(output.VideoHookBitsPixel, 24);
    EXPECT_EQ(output.Reserved1, 0);
}

TEST_F(EncoderTasksTest, DefaultsAndTheSmallestProgressInterval) {
    TFFEncoder encoder;
    EXPECT_FALSE(encoder.Preview());
    EXPECT_FALSE(encoder.PreviewBitmap());
    EXPECT_EQ(encoder.ProgressInterval(), 500);
    EXPECT_EQ(encoder.ThreadPriority(), tpNormal);
    EXPECT_TRUE(encoder.TriggerEventInMainThread());
    EXPECT_TRUE(encoder.StrictOptions());
    EXPECT_FALSE(encoder.Working());
    EXPECT_EQ(encoder.ReadTimeout(), 30000);
    EXPECT_EQ(encoder.WriteTimeout(), 30000);
    EXPECT_TRUE(encoder.LibrariesLoaded());
    EXPECT_FALSE(encoder.Decoder().Loaded());

    encoder.SetProgressInterval(50);
    EXPECT_EQ(encoder.ProgressInterval(), 100);
    encoder.SetProgressInterval(100);
    EXPECT_EQ(encoder.ProgressInterval(), 100);
    encoder.SetProgressInterval(101);
    EXPECT_EQ(encoder.ProgressInterval(), 101);
}

TEST_F(EncoderTasksTest, LoadLibrariesTakesTheFolderAndLoadsTheSet) {
    TFFEncoder encoder;
    const std::string earlier = FFLoader().LibraryPath();
    // a folder without the libraries: they come from the system's search
    EXPECT_TRUE(encoder.LoadLibraries(File("no-libs-here")));
    EXPECT_EQ(FFLoader().LibraryPath(), File("no-libs-here"));
    EXPECT_TRUE(encoder.LibrariesLoaded());
    FFLoader().SetLibraryPath(earlier);
}

TEST_F(EncoderTasksTest, AddTaskStoresTheInputRecordAndAttachesTheDecoder) {
    TFFEncoder encoder;
    TInputOptions input;
    input.Options = "-ss 0.2";
    input.Reserved1 = 5;
    const std::string clip = ShortClip();
    ASSERT_EQ(encoder.AddTask(clip, input), 0) << encoder.LastErrorMessage();
    ASSERT_EQ(encoder.AddTask(clip), 1) << encoder.LastErrorMessage();
    ASSERT_EQ(encoder.Tasks().Count(), 2);

    TFFmpeg& first = encoder.Tasks().Items(0);
    EXPECT_EQ(first.InputOptions(0).FileName, clip);
    EXPECT_EQ(first.InputOptions(0).Options, "-ss 0.2");
    EXPECT_EQ(first.Encoder(), &encoder);
    EXPECT_EQ(first.ReadTimeout, 30000);
    ASSERT_EQ(first.InputFiles.size(), 1u);
    // the options reached the opening: the input starts 0.2 s in
    EXPECT_EQ(first.InputFiles[0].TsOffset, -200000);
    // the input's decoder sees the opened input without owning it
    EXPECT_EQ(first.Decoders(0).FormatContext(), first.InputFiles[0].Ctx);
    EXPECT_EQ(first.Decoders(0).VideoStreamCount(), 1);

    TFFmpeg& second = encoder.Tasks().Items(1);
    EXPECT_EQ(second.InputOptions(0).FileName, "");
    EXPECT_EQ(second.InputFiles[0].TsOffset, 0);
}

TEST_F(EncoderTasksTest, TimeoutsAndStrictnessReachNewTasks) {
    TFFEncoder encoder;
    encoder.SetReadTimeout(1234);
    encoder.SetWriteTimeout(2345);
    encoder.SetStrictOptions(false);
    ASSERT_EQ(encoder.AddTask(ShortClip()), 0) << encoder.LastErrorMessage();
    const TFFmpeg& task = encoder.Tasks().Items(0);
    EXPECT_EQ(task.ReadTimeout, 1234);
    EXPECT_EQ(task.WriteTimeout, 2345);
    EXPECT_FALSE(task.StrictOptions);
}

TEST_F(EncoderTasksTest, InputThatCannotBeOpenedAddsNoTask) {
    TFFEncoder encoder;
    const std::string missing = File("missing.mp4");
    EXPECT_EQ(encoder.AddTask(missing), AVERROR(ENOENT));
    EXPECT_EQ(encoder.LastErrorMessage(), missing + ": No such file or directory");
    EXPECT_EQ(encoder.Tasks().Count(), 0);
}

TEST_F(EncoderTasksTest, OptionErrorsOfAddTaskAndSetOutputAreReturned) {
    TFFEncoder encoder;
    TInputOptions input;
    input.Options = "-no_such_option 1";
    EXPECT_EQ(encoder.AddTask(ShortClip(), input), -1);
    EXPECT_NE(encoder.LastErrorMessage().find("no_such_option"), std::string::npos)
        << encoder.LastErrorMessage();
    EXPECT_EQ(encoder.Tasks().Count(), 0);

    ASSERT_EQ(encoder.AddTask(ShortClip()), 0) << encoder.LastErrorMessage();
    // a bit depth the converters do not have
    TOutputOptions output;
    output.VideoHookBitsPixel = 12;
    EXPECT_EQ(encoder.SetOutput(0, File("out.avi"), output), -1);
    EXPECT_EQ(encoder.LastErrorMessage(), "Invalid BitsPixel 12");
}

TEST_F(EncoderTasksTest, FailedOutputResetsItsRecordButKeepsTheHooksRouted) {
    TFFEncoder encoder;
    ASSERT_EQ(encoder.AddTask(ShortClip()), 0) << encoder.LastErrorMessage();
    TOutputOptions output;
    output.Options = "-f no_such_format";
    output.VideoOutputHook = true;
    output.AudioHook = true;
    EXPECT_LT(encoder.SetOutput(0, File("out.bin"), output), 0);
    EXPECT_EQ(encoder.LastErrorMessage(), encoder.Tasks().Items(0).LastError);
    EXPECT_FALSE(encoder.LastErrorMessage().empty());
    TFFmpeg& task = encoder.Tasks().Items(0);
    EXPECT_EQ(task.OutputOptions(0).FileName, "");
    EXPECT_EQ(task.OutputOptions(0).Options, "");
    EXPECT_TRUE(task.Routes.VideoOutputHook);
    EXPECT_TRUE(task.Routes.AudioHook);
    EXPECT_FALSE(task.Routes.VideoInputHook);
    EXPECT_TRUE(task.OutputFiles.empty());

    // the task still takes an output afterwards
    TFrameOutputAdapter adapter;
    TOutputOptions frames;
    frames.Options = encodertest::kFrameRoad;
    frames.VideoHookBitsPixel = 32;
    EXPECT_EQ(encoder.SetOutput(0, adapter.OutputName(), frames), 0) << encoder.LastErrorMessage();
    EXPECT_EQ(task.OutputOptions(0).FileName, adapter.OutputName());
    EXPECT_EQ(task.VideoHookBitsPixel, 32);
    EXPECT_EQ(task.VideoHooks->HookConverter.BitsPixel(), 32);
    EXPECT_EQ(task.VideoHooks->PreviewConverter.BitsPixel(), 32);
}

TEST_F(EncoderTasksTest, BeforeFindStreamInfoComesFromTheTaskOpeningTheInput) {
    TFFEncoder encoder;
    TCustomFFmpeg* sender = nullptr;
    AVFormatContext* context = nullptr;
    bool onMain = false;
    encoder.OnBeforeFindStreamInfo = [&](TCustomFFmpeg* task, AVFormatContext* ic) {
        sender = task;
        context = ic;
        onMain = IsMainThread();
    };
    ASSERT_EQ(encoder.AddTask(ShortClip()), 0) << encoder.LastErrorMessage();
    EXPECT_EQ(sender, &encoder.Tasks().Items(0));
    EXPECT_EQ(context, encoder.Tasks().Items(0).InputFiles[0].Ctx);
    EXPECT_TRUE(onMain);
}

TEST_F(EncoderTasksTest, RemoveTaskFreesItAndShiftsTheOthers) {
    TFFEncoder encoder;
    ASSERT_EQ(encoder.AddTask(ShortClip()), 0);
    ASSERT_EQ(encoder.AddTask(LongClip()), 1);
    encoder.RemoveTask(0);
    ASSERT_EQ(encoder.Tasks().Count(), 1);
    EXPECT_EQ(std::string(encoder.Tasks().Items(0).InputFiles[0].Ctx->url), LongClip());
    EXPECT_EQ(ErrorOf<Exception>([&] { encoder.RemoveTask(5); }), "List index out of bounds (5)");
    EXPECT_EQ(ErrorOf<Exception>([&] { encoder.SetOutput(-1, "x"); }),
              "List index out of bounds (-1)");
    encoder.ClearTasks();
    EXPECT_EQ(encoder.Tasks().Count(), 0);
}

TEST_F(EncoderTasksTest, PreviewPropertiesSetTheFlagsOfEveryTask) {
    TFFEncoder encoder;
    encoder.SetPreviewBitmap(true);
    ASSERT_EQ(encoder.AddTask(ShortClip()), 0);
    ASSERT_EQ(encoder.AddTask(ShortClip()), 1);
    EXPECT_EQ(encoder.Tasks().Items(0).Flags(), kPreviewBitmap);
    encoder.SetPreview(true);
    EXPECT_EQ(encoder.Tasks().Items(1).Flags(), kPreviewBitmap | kPreviewWindow);
    encoder.SetPreviewBitmap(false);
    EXPECT_EQ(encoder.Tasks().Items(0).Flags(), kPreviewWindow);
    EXPECT_EQ(encoder.Tasks().Items(1).Flags(), kPreviewWindow);
    encoder.SetPreview(false);
    EXPECT_EQ(encoder.Tasks().Items(1).Flags(), 0);
}

TEST_F(EncoderTasksTest, AfterARunEveryChangeWaitsForClearTasks) {
    TFFEncoder encoder;
    encoder.SetTriggerEventInMainThread(false);
    TTerminateLog ends;
    ends.Attach(encoder);
    TFrameOutputAdapter adapter;
    ASSERT_EQ(AddFrameTask(encoder, ShortClip(), adapter), 0);
    // nothing happens to a list that is not running
    encoder.Stop(true);
    encoder.Pause();
    EXPECT_FALSE(encoder.Paused());
    encoder.StartTask(1);
    ASSERT_TRUE(ends.WaitAllEnded());
    EXPECT_TRUE(encoder.Working());

    EXPECT_EQ(ErrorOf<Exception>([&] { encoder.AddTask(ShortClip()); }),
              "Cannot AddTask while working.");
    EXPECT_EQ(ErrorOf<Exception>([&] { encoder.SetOutput(0, adapter.OutputName()); }),
              "Cannot SetOutput while working.");
    EXPECT_EQ(ErrorOf<Exception>([&] { encoder.RemoveTask(0); }),
              "Cannot RemoveTask while working.");
    EXPECT_EQ(ErrorOf<Exception>([&] { encoder.StartTask(1); }), "Cannot StartTask while working.");

    encoder.ClearTasks();
    EXPECT_FALSE(encoder.Working());
    EXPECT_EQ(encoder.Tasks().Count(), 0);
    EXPECT_EQ(encoder.LastErrorMessage(), "");
    EXPECT_GE(encoder.AddTask(ShortClip()), 0);
}

TEST_F(EncoderTasksTest, AnEmptyListReportsTheEndAtOnce) {
    TFFEncoder encoder;
    TTerminateLog ends;
    ends.Attach(encoder);
    encoder.StartTask(1);
    ASSERT_TRUE(ends.WaitAllEnded());
    EXPECT_EQ(ends.Indexes(), std::vector<int>{-1});
    EXPECT_TRUE(ends.Infos()[0].Completed);
    EXPECT_FALSE(ends.Infos()[0].Failed);
    EXPECT_TRUE(ends.AllOnMainThread());
    EXPECT_TRUE(encoder.Working());
    encoder.ClearTasks();

    // in the calling thread: reported before StartTask returns
    TTerminateLog direct;
    direct.Attach(encoder);
    encoder.StartTask(0);
    EXPECT_EQ(direct.Indexes(), std::vector<int>{-1});
    encoder.ClearTasks();
    EXPECT_FALSE(encoder.Working());
}

}  // namespace
