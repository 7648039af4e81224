#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "files/FileOps.h"

namespace tlc {

struct FileWriteResult {
    bool Written = false;
    std::string Message; // for the information box when not written
    std::string Cause;   // why, in the system's words ("Permission denied"); may be empty

    explicit operator bool() const { return Written; }
};

// The message for a file that cannot be created or written.
std::string UnableToCreateMessage(const std::string& path);
// The same with its cause after it, where one is known:
// "Unable to create the file out/logo.rsc: Permission denied".
std::string UnableToCreateMessage(const std::string& path, const std::string& cause);

// The one way the program writes a file. Opening settles whether the file
// can be written at all, before the caller builds its bytes; Commit then
// writes them whole.
//
// A new or plain file is replaced: the bytes go to a temporary file beside it
// (unnamed until complete where the system allows, otherwise created
// exclusively under an unguessable name), flushed to the disk, given the old
// file's owner, group, mode, extended attributes and access lists, and moved
// over it in one step. The old file is rewritten in place instead (open
// without creating, write, cut to the new length, flush; the old bytes put
// back on failure) when the folder takes no new file, the file has other
// hard links, or what it is cannot be kept. Every save of ours takes an
// advisory lock on the old file (files/FileOps: Lock) for its rewrite or its
// move, so two saves never mix their bytes; a kill in the middle of a rewrite
// in place can still leave the file incomplete. A symbolic link is followed (opened by its name, so the system's rules
// for links in shared folders apply); a dangling link, and another user's link
// in a sticky folder everyone may write, are refused.
// Every failure removes the temporary file and leaves the old file as it was.
class FileWriter {
public:
    explicit FileWriter(const std::string& path, FileOps& ops = DefaultFileOps());
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;
    ~FileWriter();

    bool Opened() const { return opened_; }
    // Why the file could not be opened or written, in the system's words
    // ("No such file or directory", "Is a directory"); empty when unknown.
    std::string FailureCause() const;
    bool Commit(const std::vector<std::uint8_t>& bytes);

    // Commit in three steps, for a caller that writes many files: Stage
    // writes the bytes beside the file and starts them to the disk, Flush
    // waits until they are there, Finish puts them in place. A batch flushes
    // every file before it finishes any, then syncs each folder once
    // (FileOps::SyncFolder on Folder()): each file still appears whole or
    // not at all, for one wait on the disk instead of two per file.
    bool Stage(const std::vector<std::uint8_t>& bytes);
    bool Flush();
    bool Finish();
    const std::string& Folder() const { return folder_; }
    // Whether Finish moves a new file in (rather than rewriting the old one).
    bool Replaces() const { return !inPlace_; }

private:
    enum class Step { Open, Staged, Flushed, Done };

    void Open(const std::string& path);
    bool Failed(); // keeps the first reason; always false
    bool MoveIn();
    bool CreateTemp();
    bool CommitInPlace(const std::vector<std::uint8_t>& bytes);
    // Stage without starting the bytes to the disk: a single file's flush
    // starts them itself.
    bool Write(const std::vector<std::uint8_t>& bytes);
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
    std::vector<std::uint8_t> inPlaceBytes_; // staged for a rewrite in place
    Step step_ = Step::Open;
    bool inPlace_ = false;
    bool opened_ = false;
    bool deferring_ = false;
    bool notRegular_ = false;
    int error_ = 0;
};

// Opens, then writes `bytes` whole; the message names `path` on failure.
FileWriteResult WriteFileCarefully(const std::string& path, const std::vector<std::uint8_t>& bytes,
                                   FileOps& ops = DefaultFileOps());

} // namespace tlc
