// Loading shared libraries and reading the dependencies a library file names.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "platform/ElfDependencies.h"
#include "platform/FileSystem.h"
#include "platform/Module.h"
#include "tests/common/TestSupport.h"

namespace {

using testsupport::TempDir;

TEST(ModuleTest, LoadsBySearchAndReportsFailures) {
    std::string error;
    TModuleHandle libm = LoadModule("libm.so.6", &error);
    ASSERT_NE(libm, nullptr) << error;
    EXPECT_NE(ModuleSymbol(libm, "cos", &error), nullptr);
    EXPECT_EQ(ModuleSymbol(libm, "no_such_symbol_here", &error), nullptr);
    EXPECT_NE(error.find("no_such_symbol_here"), std::string::npos) << error;
    EXPECT_EQ(ExtractFileName(ModuleFileName(libm)).rfind("libm", 0), 0u);
    FreeModule(libm);

    error.clear();
    EXPECT_EQ(LoadModule("libclipgif-none.so.1", &error), nullptr);
    EXPECT_NE(error.find("libclipgif-none.so.1"), std::string::npos) << error;
}

TEST(ElfDependenciesTest, ListsTheNeededLibraries) {
    const std::vector<std::string> names = ElfDependencies(ExecutableFileName());
    EXPECT_NE(std::find(names.begin(), names.end(), "libc.so.6"), names.end());
}

TEST(ElfDependenciesTest, DamagedFilesGiveNothingOrWhatIsIntact) {
    const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(ExecutableFileName());
    const std::vector<std::string> whole = ElfDependencies(ExecutableFileName());
    TempDir dir;
    for (size_t length : {size_t(0), size_t(16), size_t(64), size_t(200), bytes.size() / 2}) {
        const std::string name = dir.File("cut" + std::to_string(length));
        std::ofstream(name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), length);
        for (const std::string& dependency : ElfDependencies(name))
            EXPECT_NE(std::find(whole.begin(), whole.end(), dependency), whole.end());
    }
    EXPECT_TRUE(ElfDependencies(dir.File("missing")).empty());
}

}  // namespace
