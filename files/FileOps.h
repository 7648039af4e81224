#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tlc {

// An open file of the platform (a descriptor on POSIX).
using FileHandle = std::intptr_t;
inline constexpr FileHandle kNoFile = -1;

// What the careful writer needs to know of a file.
struct FileFacts {
    bool Exists = false;
    bool Regular = false;
    bool Directory = false;
    std::uint64_t Device = 0;
    std::uint64_t Inode = 0;
    std::uint64_t Links = 0;
    std::uint64_t Size = 0;
};

// What the name itself is, when it is a symbolic link (not followed).
struct LinkFacts {
    bool IsLink = false;
    // Another user's link in a sticky folder that everyone may write: a link
    // planted there must never lead our writes elsewhere.
    bool Foreign = false;
};

// The platform steps of a careful save, one small implementation per
// platform (FileOpsPosix.cpp, FileOpsWin.cpp). The default goes straight to
// the system; tests override a step to make it fail the way a full disk or a foreign file
// system would. Failures leave the reason in errno.
class FileOps {
public:
    virtual ~FileOps() = default;

    // Facts of the file at `path`, links followed. True with Exists false when
    // nothing is there; false when the path cannot be looked at.
    virtual bool Inspect(const std::string& path, FileFacts& facts);
    virtual bool InspectOpen(FileHandle file, FileFacts& facts);
    // Whether `path` itself is a symbolic link, and whose; false when it
    // cannot be looked at.
    virtual bool InspectLink(const std::string& path, LinkFacts& facts);

    // Opens an existing regular file for reading and writing (writing only
    // where it cannot be read), never creating or cutting it.
    virtual FileHandle OpenExisting(const std::string& path);
    // A file in `folder` with no name yet, gone if the process dies before
    // it is named; kNoFile where the file system has no such files.
    virtual FileHandle CreateUnnamed(const std::string& folder);
    // Creates `path` exclusively, never through a link (errno EEXIST when
    // anything, a dangling link too, has the name).
    virtual FileHandle CreateNew(const std::string& path);
    // Gives an unnamed file the name `path`, exclusively (errno EEXIST).
    virtual bool Name(FileHandle file, const std::string& path);

    virtual bool ReadAll(FileHandle file, std::uint8_t* data, std::size_t size);
    // Writes all of `size` bytes from the start of the file, or fails.
    virtual bool WriteAll(FileHandle file, const std::uint8_t* data, std::size_t size);
    virtual bool Truncate(FileHandle file, std::uint64_t size);
    virtual bool Sync(FileHandle file);
    // Starts the file's bytes on their way to the disk without waiting, so
    // that syncing many files afterwards waits about as long as for one.
    virtual void StartSync(FileHandle file);
    virtual bool Close(FileHandle file);
    // Takes the writers' lock on an open file, waiting while another writer
    // of ours holds it; closing the file lets it go. Advisory: only our own
    // saves (and readers that ask for it) keep to it.
    virtual bool Lock(FileHandle file);

    // Gives `to` the owner, group, permission bits, extended attributes and
    // access-control lists of `from`. True only when all of them match now.
    virtual bool CopyIdentity(FileHandle from, FileHandle to);

    // Moves `from` over `to` in one step. The new name is durable only after
    // SyncFolder of its folder.
    virtual bool Rename(const std::string& from, const std::string& to);
    // Makes the names in `folder` durable; harmless where folders cannot be synced.
    virtual void SyncFolder(const std::string& folder);
    virtual bool Remove(const std::string& path);
    // Removes temporary files of ours that an earlier save left in `folder`
    // (a process killed while one had a name): only names UnpredictableName
    // makes, regular files of this user, untouched for more than a day.
    virtual void RemoveLeftovers(const std::string& folder);

    // A file name nobody can guess, short enough for any folder.
    virtual std::string UnpredictableName();

    // Holds back Ctrl-C, hang-up and termination while a temporary file has a
    // name, so that they end the process only once it is gone, whichever
    // thread they reach. Nests.
    virtual void DeferInterrupts(bool defer);
};

// Whether `name` is one UnpredictableName makes.
bool IsTemporaryName(const std::string& name);

// The system's own operations.
FileOps& DefaultFileOps();

} // namespace tlc
