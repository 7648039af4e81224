#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "logo/FileOps.h"

namespace tlc {

struct FileWriteResult {
    bool Written = false;
    std::string Message; // for the information box when not written

    explicit operator bool() const { return Written; }
};

// The message for a file that cannot be created or written.
std::string UnableToCreateMessage(const std::string& path);

// The one way the program writes a file. Opening settles whether the file
// can be written at all, before the caller builds its bytes; Commit then
// writes them whole.
//
// A new or plain file is replaced: the bytes go to a temporary file beside it
// (unnamed until complete where the system allows, otherwise created
// exclusively under an unguessable name), flushed to the disk, given the old
// file's owner, group, mode, extended attributes and access lists, and moved
// over it in one step. The old file is rewritten in place instead (open
// without creating, write, flush, cut to the new length) when the folder
// takes no new file, the file has other hard links, or what it is cannot be
// kept. A symbolic link is followed; a dangling one gets its target created.
// Every failure removes the temporary file and leaves the old file as it was.
class FileWriter {
public:
    explicit FileWriter(const std::string& path, FileOps& ops = DefaultFileOps());
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;
    ~FileWriter();

    bool Opened() const { return opened_; }
    bool Commit(const std::vector<std::uint8_t>& bytes);

private:
    bool CreateTemp();
    bool CommitInPlace(const std::vector<std::uint8_t>& bytes);
    bool CommitReplacing(const std::vector<std::uint8_t>& bytes);
    bool NameTemp();
    void DiscardTemp();
    void CloseTarget();
    void Defer(bool on);

    FileOps& ops_;
    std::string real_;     // the file the path leads to, links followed
    std::string folder_;
    FileHandle target_ = kNoFile; // the existing file, open for writing
    FileHandle temp_ = kNoFile;
    std::string tempPath_; // empty while the temporary file has no name
    bool inPlace_ = false;
    bool opened_ = false;
    bool deferring_ = false;
};

// Opens, then writes `bytes` whole; the message names `path` on failure.
FileWriteResult WriteFileCarefully(const std::string& path, const std::vector<std::uint8_t>& bytes,
                                   FileOps& ops = DefaultFileOps());

// Whether both paths lead to one existing file (links followed).
bool SameFile(const std::string& a, const std::string& b, FileOps& ops = DefaultFileOps());

} // namespace tlc
