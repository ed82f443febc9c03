#pragma once
// A file written under a temporary name beside its target and given the target's name only
// when it is complete, never over a name that exists: no half-written file is ever seen under
// the target's name and no existing file is ever replaced.
#include <cstdio>
#include <memory>
#include <string>

class TStream;

class TPendingFile {
public:
    // Creates an empty temporary file in the folder of `target` (a hidden name ending in
    // ".part", which fits wherever the target's name fits) and holds it locked until it goes.
    // First removes the pending files for names with the target's extension that were left in
    // that folder by runs that ended without cleaning up (see PendingNames.h). Fails with
    // Exception "Cannot create file ..." when the folder takes no file.
    explicit TPendingFile(const std::string& target);
    // Removes the temporary file unless it was moved into place; the lock goes with it.
    ~TPendingFile();
    TPendingFile(const TPendingFile&) = delete;
    TPendingFile& operator=(const TPendingFile&) = delete;

    const std::string& TemporaryName() const { return temporaryName_; }
    // Where the content is written, until Finish.
    TStream& Stream();
    // Writes out what is buffered and closes the file; fails with Exception "Cannot write
    // TARGET: reason" when the data did not all reach the disk (as writing to Stream does).
    void Finish();
    // The ways of giving the file its name, each tried when the file system cannot do the one
    // before: a rename that refuses to replace, a second link, a copy into a new file.
    enum class TNaming { Rename, Link, Copy };

    // Gives the finished file the name `target`, in the folder the file was made in, starting
    // with the way `first`. False when `target` exists (nothing is changed then); fails with
    // Exception on other errors.
    bool MoveTo(const std::string& target, TNaming first = TNaming::Rename);

private:
    class TFileWriter;
    bool RenameTo(const std::string& target);
    bool LinkTo(const std::string& target);
    bool CopyTo(const std::string& target);

    // Creates the temporary file and takes its lock; the file's descriptor, -1 (errno set)
    // when it cannot be created, -2 when the name must be given up for another.
    int CreateLocked(const std::string& folder, const std::string& name);
    [[noreturn]] void FailWriting(int error) const;

    std::string target_;
    std::string temporaryName_;
    std::unique_ptr<TFileWriter> writer_;
    // A descriptor of the temporary file kept open for its lock, until the object goes.
    int lockDescriptor_ = -1;
    bool placed_ = false;
};
