// The output's name beside the input, and the temporary file that becomes the output only when
// complete and never over an existing name, by each of the ways of naming it.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>

#include "app/core/OutputName.h"
#include "app/core/PendingFile.h"
#include "platform/Exception.h"
#include "platform/Stream.h"
#include "tests/common/TestSupport.h"

namespace {

using testsupport::FileExists;
using TNaming = TPendingFile::TNaming;

void Touch(const std::string& name) { std::ofstream(name) << "x"; }

std::string ReadText(const std::string& name) {
    const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(name);
    return std::string(bytes.begin(), bytes.end());
}

TEST(OutputName, BesideTheInputNumberedWhenTaken) {
    testsupport::TempDir dir;
    const std::string input = dir.File("holiday.mp4");
    EXPECT_EQ(GetUniqueOutputName(input, ".gif"), dir.File("holiday_(new).gif"));
    Touch(dir.File("holiday_(new).gif"));
    EXPECT_EQ(GetUniqueOutputName(input, ".gif"), dir.File("holiday_(new_1).gif"));
    Touch(dir.File("holiday_(new_1).gif"));
    EXPECT_EQ(GetUniqueOutputName(input, ".gif"), dir.File("holiday_(new_2).gif"));
    // A folder or a dangling link takes a name as much as a file does.
    mkdir(dir.File("holiday_(new_2).gif").c_str(), 0755);
    ASSERT_EQ(symlink("nowhere", dir.File("holiday_(new_3).gif").c_str()), 0);
    EXPECT_EQ(GetUniqueOutputName(input, ".gif"), dir.File("holiday_(new_4).gif"));
}

TEST(OutputName, ExtensionIsTheLastDotOfTheFileName) {
    EXPECT_EQ(GetUniqueOutputName("/no/such/anim.gif", ".gif"), "/no/such/anim_(new).gif");
    EXPECT_EQ(GetUniqueOutputName("/no/such/clip", ".gif"), "/no/such/clip_(new).gif");
    EXPECT_EQ(GetUniqueOutputName("/no/such.dir/clip", ".gif"), "/no/such.dir/clip_(new).gif");
    EXPECT_EQ(GetUniqueOutputName("/no/such/a.tar.gz", ".gif"), "/no/such/a.tar_(new).gif");
    EXPECT_EQ(GetUniqueOutputName("relative.mkv", ".gif"), "relative_(new).gif");
}

class PendingFileTest : public ::testing::TestWithParam<TNaming> {
protected:
    // A finished temporary file holding `text`, meant for `target`.
    std::unique_ptr<TPendingFile> Written(const std::string& target, const std::string& text) {
        auto file = std::make_unique<TPendingFile>(target);
        file->Stream().WriteBuffer(text.data(), text.size());
        file->Finish();
        return file;
    }
    testsupport::TempDir dir;
};

TEST_P(PendingFileTest, BecomesTheTargetOnlyWhenNothingHasItsName) {
    const std::string target = dir.File("out.gif");
    auto file = Written(target, "GIF89a...");
    const std::string temporary = file->TemporaryName();
    EXPECT_EQ(temporary.rfind(dir.File(".out.gif."), 0), 0u) << temporary;
    EXPECT_TRUE(FileExists(temporary));
    EXPECT_FALSE(FileExists(target));

    Touch(target);
    EXPECT_FALSE(file->MoveTo(target, GetParam()));
    EXPECT_EQ(ReadText(target), "x");
    EXPECT_TRUE(FileExists(temporary));

    ASSERT_TRUE(file->MoveTo(dir.File("other.gif"), GetParam()));
    EXPECT_EQ(ReadText(dir.File("other.gif")), "GIF89a...");
    EXPECT_FALSE(FileExists(temporary));
    file.reset();
    EXPECT_EQ(ReadText(dir.File("other.gif")), "GIF89a...");
}

INSTANTIATE_TEST_SUITE_P(EveryWay, PendingFileTest,
                         ::testing::Values(TNaming::Rename, TNaming::Link, TNaming::Copy));

TEST(PendingFile, UnplacedFileIsRemovedAndThePermissionsFollowTheUmask) {
    testsupport::TempDir dir;
    std::string temporary;
    {
        TPendingFile file(dir.File("out.gif"));
        temporary = file.TemporaryName();
        file.Stream().WriteBuffer("abc", 3);
    }
    EXPECT_FALSE(FileExists(temporary));

    const mode_t saved = umask(027);
    {
        TPendingFile file(dir.File("out.gif"));
        file.Finish();
        ASSERT_TRUE(file.MoveTo(dir.File("out.gif")));
    }
    umask(saved);
    struct stat status {};
    ASSERT_EQ(stat(dir.File("out.gif").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u);
}

TEST(PendingFile, FolderThatTakesNoFileFails) {
    testsupport::TempDir dir;
    EXPECT_EQ(testsupport::ErrorOf<Exception>([&] { TPendingFile file(dir.File("no/out.gif")); }),
              "Cannot create file \"" + dir.File("no/out.gif") + "\". No such file or directory");
}

}  // namespace
