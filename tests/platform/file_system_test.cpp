// File-system helpers and the directory search.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "platform/FileSystem.h"
#include "tests/common/TestSupport.h"

namespace {

using testsupport::TempDir;

TEST(FileSystemTest, PathParts) {
    EXPECT_EQ(ExtractFilePath("/a/b/c.mp4"), "/a/b/");
    EXPECT_EQ(ExtractFileName("/a/b/c.mp4"), "c.mp4");
    EXPECT_EQ(ExtractFilePath("c.mp4"), "");
    EXPECT_EQ(ExtractFileName("c.mp4"), "c.mp4");
    EXPECT_EQ(IncludeTrailingPathDelimiter(""), "");
    EXPECT_EQ(ExpandFileName("/a/./b/../c"), "/a/c");
}

TEST(FileSystemTest, ExecutableAndFolders) {
    EXPECT_EQ(ExtractFileName(ExecutableFileName()), "test_platform_file_system_test");
    EXPECT_EQ(ExecutablePath().back(), '/');
    TempDir dir;
    const std::string before = GetCurrentDir();
    ASSERT_TRUE(SetCurrentDir(dir.Path()));
    EXPECT_EQ(std::filesystem::canonical(GetCurrentDir()), std::filesystem::canonical(dir.Path()));
    EXPECT_EQ(ExpandFileName("x"), GetCurrentDir() + "/x");
    ASSERT_TRUE(SetCurrentDir(before));
    EXPECT_FALSE(SetCurrentDir(dir.File("missing")));
    EXPECT_FALSE(DirectoryExists(dir.File("missing")));
    EXPECT_TRUE(DirectoryExists(dir.Path()));
}

TEST(FileSystemTest, SearchSkipsHiddenAndFoldersUnlessAsked) {
    TempDir dir;
    { std::ofstream(dir.File("a.txt")) << "abc"; }
    { std::ofstream(dir.File("b.dat")) << "x"; }
    { std::ofstream(dir.File(".hidden.txt")) << "h"; }
    std::filesystem::create_directory(dir.File("sub.txt"));

    auto names = [&](const std::string& pattern, uint32_t attributes) {
        std::set<std::string> found;
        TFileSearch search;
        TSearchRec rec;
        for (int rc = search.FindFirst(dir.File(pattern), attributes, rec); rc == 0;
             rc = search.FindNext(rec))
            found.insert(rec.Name);
        search.FindClose();
        return found;
    };
    EXPECT_EQ(names("*.txt", 0), (std::set<std::string>{"a.txt"}));
    EXPECT_EQ(names("*.txt", faHidden | faDirectory),
              (std::set<std::string>{"a.txt", ".hidden.txt", "sub.txt"}));
    EXPECT_EQ(names("?.dat", 0), (std::set<std::string>{"b.dat"}));

    TFileSearch search;
    TSearchRec rec;
    ASSERT_EQ(search.FindFirst(dir.File("a.txt"), 0, rec), 0);
    EXPECT_EQ(rec.Size, 3);
    EXPECT_EQ(rec.Attr & faDirectory, 0u);
    EXPECT_NE(rec.Time, 0);
    EXPECT_NE(search.FindNext(rec), 0);
    EXPECT_NE(search.FindFirst(dir.File("missing/*"), 0, rec), 0);
}

}  // namespace
