// A document written a frame at a time, each frame leaving the document once written, gives the
// bytes of saving a document of all the frames at once: the header it ends with follows every
// frame (screen size, version, colour depth), wherever the stream started.
#include <gtest/gtest.h>

#include "gif/core/GIFException.h"
#include "gif/model/GIFExtensions.h"
#include "gif/model/GIFStreamWriter.h"
#include "tests/gif/DocumentTestSupport.h"

namespace {

using namespace gifdoc;

// Frames that change the header as they come: a plain first frame of two colours ("87a",
// 1 bit), a wider one of many colours, a taller one with a graphic control extension ("89a").
std::vector<TBitmap> Pictures() {
    std::vector<TBitmap> pictures;
    pictures.push_back(DistinctColors(4, 4, 2));
    pictures.push_back(Gradient(30, 20, 1));
    pictures.push_back(DistinctColors(12, 40, 20));
    pictures.push_back(Solid(3, 3, 9, 80, 200));
    return pictures;
}

void AddFrame(TGIFImage& document, TBitmap& picture, int index) {
    const int added = document.Add(picture);
    if (index == 2) {
        TGIFSubImage& frame = document.Images()[added];
        auto control = std::make_unique<TGIFGraphicControlExtension>(&frame);
        control->SetDelay(7);
        frame.Extensions().Add(std::move(control));
    }
}

TEST(GIFStreamWriter, FramesWrittenAsTheyComeGiveTheWholeSave) {
    std::vector<TBitmap> pictures = Pictures();
    TGIFImage whole;
    for (size_t i = 0; i < pictures.size(); ++i) AddFrame(whole, pictures[i], static_cast<int>(i));
    const std::vector<uint8_t> expected = Save(whole);
    ASSERT_EQ(std::string(expected.begin(), expected.begin() + 6), "GIF89a");

    TGIFImage document;
    TMemoryStream stream;
    stream.WriteBuffer("lead", 4);
    TGIFStreamWriter writer(document, stream);
    for (size_t i = 0; i < pictures.size(); ++i) {
        AddFrame(document, pictures[i], static_cast<int>(i));
        writer.Write(document.Images()[0]);
        document.Images().Delete(0);
    }
    writer.Finish();
    EXPECT_EQ(writer.Frames(), 4);
    const std::vector<uint8_t> written = stream.Data();
    ASSERT_EQ(std::string(written.begin(), written.begin() + 4), "lead");
    EXPECT_EQ(std::vector<uint8_t>(written.begin() + 4, written.end()), expected);
    EXPECT_EQ(stream.Position(), static_cast<int64_t>(written.size()));
}

TEST(GIFStreamWriter, RefusesWhatItCannotWriteAhead) {
    TGIFImage document;
    TBitmap picture = Gradient(8, 8);
    document.Add(picture);
    TMemoryStream stream;
    TGIFStreamWriter writer(document, stream);
    EXPECT_EQ(testsupport::ErrorOf<GIFException>([&] { writer.Finish(); }),
              "Unsupported GIF version");
    EXPECT_EQ(stream.Size(), 0);

    // Without a table of its own a frame is coded to fit the largest table of the document,
    // which frames still to come may enlarge.
    document.Images()[0].ColorMap().Clear();
    EXPECT_EQ(testsupport::ErrorOf<GIFException>([&] { writer.Write(document.Images()[0]); }),
              "Frame needs a local color table to be written ahead");
    EXPECT_EQ(stream.Size(), 0);
}

}  // namespace
