#pragma once
// The names of pending files (the hidden ".NAME.XXXXXXXX.part" a file is written under before
// it gets its name) and the sweep of those that nobody writes any more.
//
// A pending file is locked (flock, exclusive) by the one writing it for as long as the writer
// holds it open; the lock goes with the process that held it, however it ended. A pending file
// nobody holds locked was left by a run that was killed or cut off by a power failure.
#include <string>

// The pending name for a file named `name` (no folder) in a folder whose names take at most
// `nameMax` bytes, with an 8-character `suffix`: "." + name + "." + suffix + ".part", the name
// shortened before its extension (at a character boundary) where that is too long, so the
// pending name fits whenever `name` itself does.
std::string PendingFileName(const std::string& name, const std::string& suffix, long nameMax);

// Whether `name` (no folder) has the shape of a pending name for a file with the extension
// `extension` (".gif"): "." + at least one byte ending in the extension + "." + 8 lower-case
// letters or digits + ".part".
bool IsPendingFileName(const std::string& name, const std::string& extension);

// The longest file name the folder takes, in bytes (255 where the system does not say).
long FolderNameMax(const std::string& folder);

// Removes from `folder` ("" for the current one) the pending files for names with the
// extension `extension` that no process holds locked, and nothing else. A file is removed only
// while this process holds its lock and the name still leads to it. Failures to read the folder
// or a file leave things as they are.
void RemoveStalePendingFiles(const std::string& folder, const std::string& extension);
