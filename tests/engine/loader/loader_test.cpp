// The library loader against the system's libraries and against library folders whose files
// are broken in the ways a shipped "lib" folder can be.
#include <gtest/gtest.h>

#include <cfenv>
#include <filesystem>
#include <fstream>

#include "engine/entrypoints/avcodec.h"
#include "engine/entrypoints/avformat.h"
#include "engine/entrypoints/avutil.h"
#include "engine/entrypoints/swscale.h"
#include "engine/loader/FFLibraryTable.h"
#include "engine/loader/FFLoad.h"
#include "engine/loader/FFLockManager.h"
#include "engine/log/FFLog.h"
#include "platform/Exception.h"
#include "tests/common/LogCapture.h"
#include "tests/common/TestSupport.h"

namespace {

using testsupport::ErrorOf;
using testsupport::TempDir;

class LoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        FFLoader().SetLibraryPath("");
        FFLoader().UnloadLibs(FullLibrarySet);
    }
    void TearDown() override {
        FFLoader().SetLibraryPath("");
        FFLoader().UnloadLibs(FullLibrarySet);
    }

    // Puts a file into the folder under the name the loader looks for.
    void PlaceAs(const std::string& source, TLibraryId id, const TempDir& folder) {
        std::filesystem::copy_file(source, folder.File(FFLoader().GetLibFileName(id)));
    }

    static bool AnyEntryPointBound() {
        for (int id = 0; id < LibraryCount; ++id)
            for (const TEntryPoint& entry : LibraryItem(TLibraryId(id)).EntryPoints())
                if (*entry.Address) return true;
        return false;
    }

    static bool AnyLibraryLoaded() {
        for (int id = 0; id < LibraryCount; ++id)
            if (FFLoader().LibLoaded(TLibraryId(id))) return true;
        return false;
    }
};

TEST_F(LoaderTest, LoadsAndUnloadsEveryLibraryFromTheSystem) {
    ASSERT_TRUE(FFLoader().LoadLibs(FullLibrarySet)) << FFLoader().LastErrorMessage();
    EXPECT_TRUE(FFLoader().LibsLoaded(FullLibrarySet));
    for (int id = 0; id < LibraryCount; ++id)
        for (const TEntryPoint& entry : LibraryItem(TLibraryId(id)).EntryPoints())
            EXPECT_NE(*entry.Address, nullptr) << entry.Name;
    // The bound functions are the ones the headers describe.
    EXPECT_EQ(AV_VERSION_MAJOR(libav::avcodec_version()), LIBAVCODEC_VERSION_MAJOR);
    EXPECT_EQ(AV_VERSION_MAJOR(libav::avutil_version()), LIBAVUTIL_VERSION_MAJOR);

    // Loading again changes nothing.
    ASSERT_TRUE(FFLoader().LoadLibs(FullLibrarySet));
    EXPECT_TRUE(FFLoader().LibsLoaded(FullLibrarySet));

    FFLoader().UnloadLibs(FullLibrarySet);
    EXPECT_FALSE(AnyLibraryLoaded());
    EXPECT_FALSE(AnyEntryPointBound());
}

TEST_F(LoaderTest, DecoderSetLeavesDeviceAndFilterLibrariesAlone) {
    ASSERT_TRUE(FFLoader().LoadLibs(DecoderLibrarySet)) << FFLoader().LastErrorMessage();
    EXPECT_TRUE(FFLoader().LibsLoaded(DecoderLibrarySet));
    EXPECT_FALSE(FFLoader().LibLoaded(libAVDevice));
    EXPECT_FALSE(FFLoader().LibLoaded(libAVFilter));
    EXPECT_NO_THROW(FFLoader().CheckLibsLoaded(DecoderLibrarySet));
    EXPECT_EQ(ErrorOf<Exception>([] { FFLoader().CheckLibsLoaded(FullLibrarySet); }),
              "Library avdevice not loaded.");
}

TEST_F(LoaderTest, EmptySetIsRefused) {
    EXPECT_THROW(FFLoader().LoadLibs(0), Exception);
    EXPECT_THROW(FFLoader().LibsLoaded(0), Exception);
    EXPECT_THROW(FFLoader().UnloadLibs(0), Exception);
}

TEST_F(LoaderTest, LibraryMissingFromTheFolderComesFromTheSystemSearch) {
    TempDir folder;
    FFLoader().SetLibraryPath(folder.Path());
    ASSERT_TRUE(FFLoader().LoadLibs(FullLibrarySet)) << FFLoader().LastErrorMessage();
    EXPECT_FALSE(FFLoader().LibModuleFileName(libAVUtil).empty());
    EXPECT_EQ(FFLoader().LibModuleFileName(libAVUtil).find(folder.Path()), std::string::npos);
}

TEST_F(LoaderTest, LibraryLackingAnEntryPointUnloadsTheWholeSet) {
    TempDir folder;
    PlaceAs(CLIPGIF_FAKELIB_DIR "/libfakelib_only_version.so", libSWScale, folder);
    ASSERT_GE(SwscaleEntryPoints().size(), 2u);
    ASSERT_STREQ(SwscaleEntryPoints()[0].Name, "swscale_version");
    FFLoader().SetLibraryPath(folder.Path());

    EXPECT_FALSE(FFLoader().LoadLibs(FullLibrarySet));
    const std::string expected = std::string("Load function ") + SwscaleEntryPoints()[1].Name +
                                 "@" + FFLoader().GetLibFileName(libSWScale) + " error: ";
    const std::string& message = FFLoader().LastErrorMessage();
    EXPECT_EQ(message.rfind(expected, 0), 0u) << message;
    EXPECT_NE(message.find("undefined symbol"), std::string::npos);
    EXPECT_FALSE(AnyLibraryLoaded());
    // Nothing may point into the freed libraries, not even the entry bound before the failure.
    EXPECT_FALSE(AnyEntryPointBound());
}

TEST_F(LoaderTest, UnloadableFileGivesTheLoadMessage) {
    TempDir folder;
    { std::ofstream(folder.File(FFLoader().GetLibFileName(libSWScale))) << "not a shared library"; }
    FFLoader().SetLibraryPath(folder.Path() + "/");

    EXPECT_FALSE(FFLoader().LoadLibs(FullLibrarySet));
    const std::string expected =
        "Load library " + folder.File(FFLoader().GetLibFileName(libSWScale)) + " error: ";
    const std::string& message = FFLoader().LastErrorMessage();
    EXPECT_EQ(message.rfind(expected, 0), 0u) << message;
    EXPECT_GT(message.size(), expected.size());
    EXPECT_FALSE(AnyLibraryLoaded());
    EXPECT_FALSE(AnyEntryPointBound());
}

TEST_F(LoaderTest, LibraryWithAMissingDependencyFailsToLoad) {
    TempDir folder;
    PlaceAs(CLIPGIF_FAKELIB_DIR "/libfakelib_needs_hidden_dependency.so", libAVFormat, folder);
    FFLoader().SetLibraryPath(folder.Path());

    EXPECT_FALSE(FFLoader().LoadLibs(DecoderLibrarySet));
    const std::string& message = FFLoader().LastErrorMessage();
    EXPECT_EQ(message.rfind("Load library " + folder.File("libavformat.so"), 0), 0u) << message;
    EXPECT_NE(message.find("libfakelib_hidden_dependency.so"), std::string::npos);
    EXPECT_FALSE(AnyLibraryLoaded());
}

TEST_F(LoaderTest, DependencyInTheFolderIsFoundThere) {
    TempDir folder;
    PlaceAs(CLIPGIF_FAKELIB_DIR "/libfakelib_needs_hidden_dependency.so", libAVFormat, folder);
    std::filesystem::copy_file(CLIPGIF_FAKELIB_DIR "/hidden/libfakelib_hidden_dependency.so",
                               folder.File("libfakelib_hidden_dependency.so"));
    FFLoader().SetLibraryPath(folder.Path());

    // The library loads now; it fails only for what it does not export.
    EXPECT_FALSE(FFLoader().LoadLib(libAVFormat));
    const std::string expected = std::string("Load function ") + AvformatEntryPoints()[0].Name +
                                 "@" + FFLoader().GetLibFileName(libAVFormat) + " error: ";
    EXPECT_EQ(FFLoader().LastErrorMessage().rfind(expected, 0), 0u)
        << FFLoader().LastErrorMessage();
}

TEST_F(LoaderTest, CLibraryIsNeverTakenFromTheFolder) {
    TempDir folder;
    { std::ofstream(folder.File("libc.so.6")) << "not a shared library"; }
    FFLoader().SetLibraryPath(folder.Path());
    EXPECT_TRUE(FFLoader().LoadLib(libC)) << FFLoader().LastErrorMessage();
}

TEST_F(LoaderTest, CodecLockLivesWhileTheCodecLibraryIsBound) {
    TFFLogger logger;
    testsupport::TLogCapture log(logger);
    ASSERT_TRUE(FFLoader().LoadLib(libAVCodec));
    { TCodecLock lock; }
    EXPECT_TRUE(log.Errors().empty());

    FFLoader().UnloadLib(libAVCodec);
    { TCodecLock lock; }
    EXPECT_EQ(log.Errors(), std::vector<std::string>{"[lock manager] error, mutex not available."});
}

TEST_F(LoaderTest, ShutdownRestoresTheFloatingPointEnvironment) {
    EngineShutdown();
    std::fesetround(FE_UPWARD);
    EngineStartup();
    EXPECT_EQ(std::fegetround(), FE_TONEAREST);
    ASSERT_TRUE(FFLoader().LoadLibs(FullLibrarySet));
    EngineShutdown();
    EXPECT_EQ(std::fegetround(), FE_UPWARD);
    EXPECT_FALSE(AnyEntryPointBound());
    std::fesetround(FE_TONEAREST);
}

}  // namespace
