// The output's name beside the input, and the temporary file that becomes the output only when
// complete and never over an existing name, by each of the ways of naming it; its name, which
// fits wherever the output's fits, its lock, and the removal of those a killed run left.
#include <dirent.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>

#include "app/core/OutputName.h"
#include "app/core/PendingFile.h"
#include "app/core/PendingNames.h"
#include "platform/Exception.h"
#include "platform/FileSystem.h"
#include "platform/Stream.h"
#include "tests/common/TestSupport.h"

namespace {

using testsupport::FileExists;
using TNaming = TPendingFile::TNaming;

void Touch(const std::string& name) { std::ofstream(name) << "x"; }

std::vector<std::string> FolderNames(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir))
            if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..")
                names.push_back(entry->d_name);
        closedir(dir);
    }
    return names;
}

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

// Whether another open file of the name could take its lock now.
bool Lockable(const std::string& name) {
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free;
}

// A process of its own holding a file locked, as a conversion running elsewhere holds its
// pending file, until it is let go.
class TLockHolder {
public:
    explicit TLockHolder(const std::string& name) {
        int ready[2], release[2];
        EXPECT_EQ(::pipe(ready), 0);
        EXPECT_EQ(::pipe(release), 0);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            ::close(release[1]);
            const int fd = ::open(name.c_str(), O_RDONLY);
            const char done = fd >= 0 && ::flock(fd, LOCK_EX) == 0 ? 'y' : 'n';
            (void)!::write(ready[1], &done, 1);
            char wait;
            (void)!::read(release[0], &wait, 1);
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release[0]);
        release_ = release[1];
        char done = 'n';
        EXPECT_EQ(::read(ready[0], &done, 1), 1);
        EXPECT_EQ(done, 'y');
        ::close(ready[0]);
    }
    ~TLockHolder() { LetGo(); }
    void LetGo() {
        if (pid_ <= 0) return;
        ::close(release_);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    int release_ = -1;
};

TEST(PendingFile, HeldLockedUntilItGoes) {
    testsupport::TempDir dir;
    auto file = std::make_unique<TPendingFile>(dir.File("out.gif"));
    const std::string temporary = file->TemporaryName();
    EXPECT_FALSE(Lockable(temporary));
    file->Stream().WriteBuffer("GIF89a", 6);
    file->Finish();
    EXPECT_FALSE(Lockable(temporary)) << "written, but not yet in place";
    ASSERT_TRUE(file->MoveTo(dir.File("out.gif")));
    file.reset();
    EXPECT_TRUE(Lockable(dir.File("out.gif")));
}

TEST(PendingFile, StaleFilesOfOursGoAndNothingElse) {
    testsupport::TempDir dir;
    const std::string stale = dir.File(".a_(new).gif.k3j9x0aa.part");
    const std::string held = dir.File(".b_(new).gif.zz99yy88.part");
    Touch(stale);
    Touch(held);
    // not of ours: other shapes, another extension, not a plain file
    const std::vector<std::string> others = {
        ".a_(new).gif.K3J9X0AA.part", "a_(new).gif.k3j9x0aa.part", ".notes.txt.k3j9x0aa.part",
        ".a.gif.k3j9x0.part",         ".gif.k3j9x0aa.part",        ".a.gif.k3j9x0aa.part.old"};
    for (const std::string& name : others) Touch(dir.File(name));
    ASSERT_EQ(mkdir(dir.File(".d.gif.k3j9x0aa.part").c_str(), 0755), 0);
    ASSERT_EQ(symlink(dir.File("a_(new).gif.k3j9x0aa.part").c_str(),
                      dir.File(".l.gif.k3j9x0aa.part").c_str()),
              0);

    TLockHolder holder(held);
    { TPendingFile file(dir.File("c.gif")); }
    EXPECT_FALSE(FileExists(stale)) << "nobody held it";
    EXPECT_TRUE(FileExists(held)) << "a living process holds it";
    for (const std::string& name : others) EXPECT_TRUE(FileExists(dir.File(name))) << name;
    EXPECT_TRUE(DirectoryExists(dir.File(".d.gif.k3j9x0aa.part")));
    EXPECT_TRUE(FileExists(dir.File(".l.gif.k3j9x0aa.part")));

    // once its holder has gone, the next pending file beside it sweeps it too
    holder.LetGo();
    { TPendingFile file(dir.File("c.gif")); }
    EXPECT_FALSE(FileExists(held));
}

TEST(PendingFile, ItsNameFitsWhereverTheTargetsDoes) {
    testsupport::TempDir dir;
    const long nameMax = FolderNameMax(dir.Path());
    ASSERT_GE(nameMax, 64);
    // plain and two-byte characters, names up to the longest the folder takes
    for (const std::string& unit : {std::string("a"), std::string("\xC3\xA9")}) {
        for (long length = nameMax - 25; length <= nameMax; ++length) {
            std::string name;
            while (static_cast<long>(name.size() + unit.size() + 4) <= length) name += unit;
            name += ".gif";
            SCOPED_TRACE(name.size());
            const std::string target = dir.File(name);
            TPendingFile file(target);
            const std::string pending = ExtractFileName(file.TemporaryName());
            EXPECT_LE(static_cast<long>(pending.size()), nameMax);
            EXPECT_TRUE(IsPendingFileName(pending, ".gif")) << pending;
            // never a character cut in two
            const std::string before = pending.substr(0, pending.size() - 18);
            EXPECT_NE(static_cast<unsigned char>(before.back()), 0xC3) << pending;
            file.Stream().WriteBuffer("GIF89a", 6);
            ASSERT_TRUE(file.MoveTo(target));
            EXPECT_EQ(ReadText(target), "GIF89a");
            std::remove(target.c_str());
        }
    }
    EXPECT_EQ(PendingFileName("out.gif", "abcd1234", 255), ".out.gif.abcd1234.part");
    EXPECT_EQ(PendingFileName(std::string(250, 'x') + ".gif", "abcd1234", 255),
              "." + std::string(236, 'x') + ".gif.abcd1234.part");
}

TEST(PendingFile, ThePositionCountsWhatIsStillBuffered) {
    testsupport::TempDir dir;
    const std::string target = dir.File("out.gif");
    TPendingFile file(target);
    TStream& stream = file.Stream();
    stream.WriteBuffer("GIF89a", 6);
    EXPECT_EQ(stream.Position(), 6);
    // More than the buffer holds, in frame-sized pieces, the position asked after each.
    const std::vector<uint8_t> frame(3000, 7);
    for (int i = 1; i <= 200; ++i) {
        stream.WriteBuffer(frame.data(), frame.size());
        ASSERT_EQ(stream.Position(), 6 + 3000 * i);
    }
    EXPECT_EQ(stream.Size(), 6 + 3000 * 200);
    stream.WriteBuffer(";", 1);
    EXPECT_EQ(stream.Position(), 6 + 3000 * 200 + 1);
    ASSERT_TRUE(file.MoveTo(target, TNaming::Rename));
    const std::string text = ReadText(target);
    ASSERT_EQ(text.size(), 6u + 3000 * 200 + 1);
    EXPECT_EQ(text.substr(0, 6), "GIF89a");
    EXPECT_EQ(text.back(), ';');
}

TEST(PendingFile, AWriteThatFailsSaysWhichFileAndWhy) {
    testsupport::TempDir dir;
    const std::string target = dir.File("big.gif");
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit small{20000, limit.rlim_max};
    const auto signalHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string error;
    {
        TPendingFile file(target);
        const std::vector<uint8_t> block(4096, 7);
        error = testsupport::ErrorOf<Exception>([&] {
            for (int i = 0; i < 20; ++i) file.Stream().WriteBuffer(block.data(), block.size());
            file.Finish();
        });
    }
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, signalHandler);
    EXPECT_EQ(error, "Cannot write " + target + ": File too large");
    EXPECT_TRUE(FolderNames(dir.Path()).empty());
}

}  // namespace
