// Loading shared libraries and reading the dependencies a library file names.
#include <dlfcn.h>
#include <elf.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
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

bool IsLoaded(const char* name) {
    void* module = dlopen(name, RTLD_LAZY | RTLD_NOLOAD);
    if (module) dlclose(module);
    return module != nullptr;
}

// The media libraries need two hundred others, loaded beforehand one at a time: the handles
// taken for that must go again, or unloading the library would leave them all in memory.
TEST(ModuleTest, SystemLibrariesLoadWithTheirDependenciesAndLetThemGoAgain) {
    ASSERT_FALSE(IsLoaded("libavutil.so.57"));
    std::string error;
    TModuleHandle swscale = LoadSystemModule("libswscale.so.6", &error);
    ASSERT_NE(swscale, nullptr) << error;
    EXPECT_NE(ModuleSymbol(swscale, "swscale_version", &error), nullptr) << error;
    EXPECT_TRUE(IsLoaded("libavutil.so.57"));
    FreeModule(swscale);
    EXPECT_FALSE(IsLoaded("libswscale.so.6"));
    EXPECT_FALSE(IsLoaded("libavutil.so.57"));

    error.clear();
    EXPECT_EQ(LoadSystemModule("libclipgif-none.so.1", &error), nullptr);
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

// A copy of the executable whose DT_DEBUG entry is made a DT_RUNPATH naming its first needed
// library: a file with search folders of its own.
TEST(ElfDependenciesTest, TellsAFileWithSearchFoldersOfItsOwn) {
    std::vector<uint8_t> bytes = testsupport::ReadFileBytes(ExecutableFileName());
    Elf64_Ehdr header;
    std::memcpy(&header, bytes.data(), sizeof header);
    bool patched = false;
    for (int i = 0; i < header.e_phnum && !patched; ++i) {
        Elf64_Phdr segment;
        std::memcpy(&segment, bytes.data() + header.e_phoff + i * sizeof segment, sizeof segment);
        if (segment.p_type != PT_DYNAMIC) continue;
        auto* entries = reinterpret_cast<Elf64_Dyn*>(bytes.data() + segment.p_offset);
        const size_t count = segment.p_filesz / sizeof(Elf64_Dyn);
        const auto needed = std::find_if(entries, entries + count,
                                         [](const Elf64_Dyn& e) { return e.d_tag == DT_NEEDED; });
        for (Elf64_Dyn* entry = entries; entry != entries + count && needed != entries + count;
             ++entry) {
            if (entry->d_tag != DT_DEBUG) continue;
            entry->d_tag = DT_RUNPATH;
            entry->d_un.d_val = needed->d_un.d_val;
            patched = true;
            break;
        }
    }
    ASSERT_TRUE(patched);
    TempDir dir;
    const std::string copy = dir.File("with-runpath");
    std::ofstream(copy, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));

    const TElfLinking original = ElfLinking(ExecutableFileName());
    const TElfLinking withRunPath = ElfLinking(copy);
    EXPECT_FALSE(original.OwnSearchPath);
    EXPECT_TRUE(withRunPath.OwnSearchPath);
    EXPECT_EQ(withRunPath.Needed, original.Needed);
    EXPECT_FALSE(withRunPath.Needed.empty());
}

}  // namespace
