#include "platform/ElfDependencies.h"

#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// Reads pieces of a file by offset, each checked against the file's size. Unbuffered: a library's
// headers and the names it needs are a few small pieces, and libraries are read by the hundred
// while a program starts.
class TElfReader {
public:
    explicit TElfReader(const std::string& fileName)
        : file_(open(fileName.c_str(), O_RDONLY | O_CLOEXEC)) {
        struct stat status;
        if (file_ >= 0 && fstat(file_, &status) == 0 && S_ISREG(status.st_mode))
            size_ = static_cast<uint64_t>(status.st_size);
    }
    ~TElfReader() {
        if (file_ >= 0) close(file_);
    }
    TElfReader(const TElfReader&) = delete;
    TElfReader& operator=(const TElfReader&) = delete;

    bool Read(uint64_t offset, void* buffer, uint64_t count) {
        if (offset > size_ || count > size_ - offset) return false;
        auto* at = static_cast<char*>(buffer);
        while (count > 0) {
            const ssize_t got = pread(file_, at, count, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) return false;
            at += got;
            offset += static_cast<uint64_t>(got);
            count -= static_cast<uint64_t>(got);
        }
        return true;
    }

private:
    int file_;
    uint64_t size_ = 0;
};

bool ReadHeader(TElfReader& reader, Elf64_Ehdr& header) {
    if (!reader.Read(0, &header, sizeof header)) return false;
    return std::memcmp(header.e_ident, ELFMAG, SELFMAG) == 0 &&
           header.e_ident[EI_CLASS] == ELFCLASS64 && header.e_ident[EI_DATA] == ELFDATA2LSB &&
           header.e_phentsize == sizeof(Elf64_Phdr);
}

std::vector<Elf64_Phdr> ReadProgramHeaders(TElfReader& reader, const Elf64_Ehdr& header) {
    std::vector<Elf64_Phdr> headers(header.e_phnum);
    if (!reader.Read(header.e_phoff, headers.data(), headers.size() * sizeof(Elf64_Phdr)))
        headers.clear();
    return headers;
}

// The file offset of a virtual address inside a loaded segment, or false.
bool FileOffsetOf(const std::vector<Elf64_Phdr>& segments, uint64_t address, uint64_t& offset) {
    for (const Elf64_Phdr& segment : segments) {
        if (segment.p_type == PT_LOAD && address >= segment.p_vaddr &&
            address - segment.p_vaddr < segment.p_filesz) {
            offset = address - segment.p_vaddr + segment.p_offset;
            return true;
        }
    }
    return false;
}

std::vector<Elf64_Dyn> ReadDynamicSection(TElfReader& reader,
                                          const std::vector<Elf64_Phdr>& segments) {
    for (const Elf64_Phdr& segment : segments) {
        if (segment.p_type != PT_DYNAMIC) continue;
        std::vector<Elf64_Dyn> entries(segment.p_filesz / sizeof(Elf64_Dyn));
        if (!reader.Read(segment.p_offset, entries.data(), entries.size() * sizeof(Elf64_Dyn)))
            entries.clear();
        return entries;
    }
    return {};
}

// The string at `offset`, ended by a zero byte or by `most` bytes. The string table of a library
// holds every exported symbol's name: only the names asked for are read, a piece at a time.
bool ReadName(TElfReader& reader, uint64_t offset, uint64_t most, std::string& name) {
    constexpr uint64_t kPiece = 256;
    char piece[kPiece];
    name.clear();
    while (most > 0) {
        const uint64_t count = std::min(kPiece, most);
        if (!reader.Read(offset, piece, count)) return false;
        const char* end = static_cast<const char*>(std::memchr(piece, 0, count));
        name.append(piece, end ? static_cast<size_t>(end - piece) : count);
        if (end) break;
        offset += count;
        most -= count;
    }
    return true;
}

}  // namespace

TElfLinking ElfLinking(const std::string& fileName) {
    TElfReader reader(fileName);
    Elf64_Ehdr header;
    if (!ReadHeader(reader, header)) return {};
    const std::vector<Elf64_Phdr> segments = ReadProgramHeaders(reader, header);
    const std::vector<Elf64_Dyn> dynamic = ReadDynamicSection(reader, segments);
    uint64_t stringsAddress = 0, stringsSize = 0;
    TElfLinking linking;
    uint64_t tableBytes = 0, relativeCount = 0, procedureBytes = 0;
    for (const Elf64_Dyn& entry : dynamic) {
        if (entry.d_tag == DT_STRTAB) stringsAddress = entry.d_un.d_ptr;
        if (entry.d_tag == DT_STRSZ) stringsSize = entry.d_un.d_val;
        if (entry.d_tag == DT_RPATH || entry.d_tag == DT_RUNPATH) linking.OwnSearchPath = true;
        if (entry.d_tag == DT_RELASZ) tableBytes = entry.d_un.d_val;
        if (entry.d_tag == DT_RELACOUNT) relativeCount = entry.d_un.d_val;
        if (entry.d_tag == DT_PLTRELSZ) procedureBytes = entry.d_un.d_val;
    }
    const uint64_t tableCount = tableBytes / sizeof(Elf64_Rela);
    linking.SymbolRelocations =
        tableCount - std::min(tableCount, relativeCount) + procedureBytes / sizeof(Elf64_Rela);
    uint64_t stringsOffset;
    if (!stringsSize || !FileOffsetOf(segments, stringsAddress, stringsOffset)) return linking;
    for (const Elf64_Dyn& entry : dynamic) {
        if (entry.d_tag != DT_NEEDED || entry.d_un.d_val >= stringsSize) continue;
        std::string name;
        if (!ReadName(reader, stringsOffset + entry.d_un.d_val, stringsSize - entry.d_un.d_val,
                      name))
            return {};
        linking.Needed.push_back(std::move(name));
    }
    return linking;
}

std::vector<std::string> ElfDependencies(const std::string& fileName) {
    return ElfLinking(fileName).Needed;
}
