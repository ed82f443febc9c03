#include <gtest/gtest.h>

#include "platform/Stream.h"
#include "tests/common/TestSupport.h"

TEST(Streams, MemoryStreamReadsWritesAndSeeks) {
    TMemoryStream s;
    s.WriteBuffer("hello", 5);
    EXPECT_EQ(s.Size(), 5);
    s.SetPosition(1);
    char buf[8] = {};
    EXPECT_EQ(s.Read(buf, 8), 4u);
    EXPECT_STREQ(buf, "ello");
    EXPECT_EQ(s.Read(buf, 1), 0u);
    s.SetPosition(3);
    EXPECT_THROW(s.ReadBuffer(buf, 3), EStreamError);
    s.Seek(-1, TSeekOrigin::soEnd);
    s.WriteByte('!');
    EXPECT_EQ(std::string(s.Data().begin(), s.Data().end()), "hell!");
}

TEST(Streams, FileStreamCreatesAndReportsMissingFiles) {
    testsupport::TempDir dir;
    {
        TFileStream out(dir.File("a.bin"), TFileStream::Mode::Create);
        out.WriteBuffer("abc", 3);
    }
    TFileStream in(dir.File("a.bin"), TFileStream::Mode::OpenRead);
    EXPECT_EQ(in.Size(), 3);
    try {
        TFileStream missing(dir.File("none/x.bin"), TFileStream::Mode::OpenRead);
        FAIL();
    } catch (const EStreamError& e) {
        EXPECT_NE(std::string(e.what()).find("Cannot open file"), std::string::npos);
    }
}
