#pragma once
// Path, file and text helpers of the engine. Names are UTF-8; the folder delimiter is '/'.
// Positions are 1-based, as the engine's option and path code counts them.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/FileSystem.h"
#include "platform/MainThread.h"

// True for the first byte of a multi-byte UTF-8 sequence.
bool IsLeadByte(uint8_t c);
// True for a UTF-16 surrogate code unit (0xD800 to 0xDFFF).
bool IsSurrogate(char16_t c);
// 0 when the 1-based index is out of range or holds a single-byte character, 1 for the first
// byte of a multi-byte UTF-8 sequence, 2 for a continuation byte.
int CharKindAt(const std::string& text, int index);
// The character at the 1-based index is the folder delimiter.
bool IsPathDelimiter(const std::string& text, int index);
// The 1-based position of the last character of text that occurs in delimiters, 0 if none.
int LastDelimiter(const std::string& delimiters, const std::string& text);

inline std::string ExtractFilePathW(const std::string& name) { return ExtractFilePath(name); }
inline std::string ExtractFileNameW(const std::string& name) { return ExtractFileName(name); }
inline bool FileExistsW(const std::string& fileName) { return FileExists(fileName); }
inline std::string GetCurrentDirW() { return GetCurrentDir(); }
inline bool SetCurrentDirW(const std::string& path) { return SetCurrentDir(path); }
inline std::string GetEnvVarW(const std::string& name) { return GetEnvVar(name); }
inline std::string ExpandFileNameW(const std::string& fileName) { return ExpandFileName(fileName); }
inline int64_t FileSizeW(const std::string& fileName) { return FileSize(fileName); }
inline std::string ModuleFileNameW() { return ExecutableFileName(); }
inline std::string ModulePathW() { return ExecutablePath(); }

// A directory search (see TFileSearch); the search state travels in the record.
struct TSearchRecW : TSearchRec {
    std::shared_ptr<TFileSearch> Search;
};
int FindFirstW(const std::string& pattern, uint32_t attributes, TSearchRecW& rec);
int FindNextW(TSearchRecW& rec);
void FindCloseW(TSearchRecW& rec);

// head = text before the first delimiter (the whole text when there is none). With remove, the
// head and the delimiter are cut from text (text becomes empty when there was no delimiter).
void SplitFirst(std::string& text, const std::string& delimiter, bool remove, std::string& head);

// "1024 Byte", "1.50 KB", "2.00 MB", "1.00 GB".
std::string FormatSize(int64_t bytes);

// Runs fn on the main thread and waits, or at once on the main thread.
inline void CallInMainThread(const std::function<void()>& fn) { Synchronize(fn); }
