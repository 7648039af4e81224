#include "files/FileOps.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>

#include "base/Paths.h"

namespace tlc {

namespace {

HANDLE Handle(FileHandle file) {
    return reinterpret_cast<HANDLE>(file);
}

FileHandle ToFile(HANDLE handle) {
    return handle == INVALID_HANDLE_VALUE ? kNoFile : reinterpret_cast<FileHandle>(handle);
}

// UTF-8 inside the program, wide at the system.
std::wstring Wide(const std::string& utf8) {
    return PathFromUtf8(utf8).wstring();
}

// The writer reads reasons from errno, as on POSIX.
bool Failed() {
    switch (::GetLastError()) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: errno = EEXIST; break;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: errno = ENOENT; break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: errno = EACCES; break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: errno = ENOSPC; break;
    default: errno = EIO; break;
    }
    return false;
}

bool IsMissing(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

void FillFacts(HANDLE handle, const BY_HANDLE_FILE_INFORMATION& info, FileFacts& facts) {
    facts.Exists = true;
    facts.Regular = ::GetFileType(handle) == FILE_TYPE_DISK &&
                    !(info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE));
    facts.Directory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    facts.Device = info.dwVolumeSerialNumber;
    facts.Inode = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    facts.Links = info.nNumberOfLinks;
    facts.Size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Reads or writes at `offset`, whatever the handle's position.
OVERLAPPED At(std::uint64_t offset) {
    OVERLAPPED where {};
    where.Offset = static_cast<DWORD>(offset);
    where.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return where;
}

constexpr std::size_t kChunk = 1u << 30;

std::atomic<int> deferDepth {0};
std::atomic<bool> interruptPending {false};

BOOL WINAPI HoldInterrupt(DWORD event) {
    if ((event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) && deferDepth.load() > 0) {
        interruptPending = true;
        return TRUE;
    }
    return FALSE; // the system's own handling ends the process
}

} // namespace

bool FileOps::Inspect(const std::string& path, FileFacts& facts) {
    facts = {};
    // No access asked: only the facts. Backup semantics let a folder open.
    const HANDLE handle = ::CreateFileW(Wide(path).c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (IsMissing(error)) return true;
        return Failed();
    }
    BY_HANDLE_FILE_INFORMATION info {};
    const bool ok = ::GetFileInformationByHandle(handle, &info);
    if (ok) FillFacts(handle, info, facts);
    else Failed();
    ::CloseHandle(handle);
    return ok;
}

bool FileOps::InspectOpen(FileHandle file, FileFacts& facts) {
    facts = {};
    BY_HANDLE_FILE_INFORMATION info {};
    if (!::GetFileInformationByHandle(Handle(file), &info)) return Failed();
    FillFacts(Handle(file), info, facts);
    return true;
}

// Links are followed by the name alone here (no sticky folders on Windows).
bool FileOps::InspectLink(const std::string&, LinkFacts& facts) {
    facts = {};
    return true;
}

FileHandle FileOps::OpenExisting(const std::string& path) {
    const std::wstring wide = Wide(path);
    HANDLE handle = ::CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_ACCESS_DENIED)
        handle = ::CreateFileW(wide.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return Failed(), kNoFile;
    FileFacts facts;
    if (!InspectOpen(ToFile(handle), facts) || !facts.Regular) {
        ::CloseHandle(handle);
        errno = EINVAL;
        return kNoFile;
    }
    return ToFile(handle);
}

FileHandle FileOps::CreateUnnamed(const std::string&) {
    // Windows has no files without a name; the writer names one itself.
    errno = ENOSYS;
    return kNoFile;
}

FileHandle FileOps::CreateNew(const std::string& path) {
    // CREATE_NEW fails on any existing name, a link too, and never follows one.
    const HANDLE handle = ::CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return Failed(), kNoFile;
    return ToFile(handle);
}

bool FileOps::Name(FileHandle, const std::string&) {
    errno = ENOSYS;
    return false;
}

bool FileOps::ReadAll(FileHandle file, std::uint8_t* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const DWORD want = static_cast<DWORD>(std::min(size - done, kChunk));
        DWORD got = 0;
        OVERLAPPED where = At(done);
        if (!::ReadFile(Handle(file), data + done, want, &got, &where)) return Failed();
        if (got == 0) return errno = EIO, false;
        done += got;
    }
    return true;
}

bool FileOps::WriteAll(FileHandle file, const std::uint8_t* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const DWORD want = static_cast<DWORD>(std::min(size - done, kChunk));
        DWORD put = 0;
        OVERLAPPED where = At(done);
        if (!::WriteFile(Handle(file), data + done, want, &put, &where)) return Failed();
        if (put == 0) return errno = ENOSPC, false;
        done += put;
    }
    return true;
}

bool FileOps::Truncate(FileHandle file, std::uint64_t size) {
    FILE_END_OF_FILE_INFO end {};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    return ::SetFileInformationByHandle(Handle(file), FileEndOfFileInfo, &end, sizeof end) || Failed();
}

bool FileOps::Sync(FileHandle file) {
    return ::FlushFileBuffers(Handle(file)) || Failed();
}

void FileOps::StartSync(FileHandle) {}

bool FileOps::Close(FileHandle file) {
    return ::CloseHandle(Handle(file)) || Failed();
}

bool FileOps::Lock(FileHandle file) {
    // The whole file, exclusively, waiting for another writer of ours.
    OVERLAPPED whole {};
    return ::LockFileEx(Handle(file), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole) || Failed();
}

bool FileOps::CopyIdentity(FileHandle, FileHandle) {
    // ReplaceFileW gives the new file the old one's attributes and security
    // as it moves it over.
    return true;
}

bool FileOps::Rename(const std::string& from, const std::string& to) {
    const std::wstring source = Wide(from), target = Wide(to);
    constexpr DWORD kMove = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    // The old file goes to a backup name while the new one takes its place,
    // so that a failure half way can put it back whole.
    const std::wstring backup = Wide(Utf8FromPath(PathFromUtf8(to).parent_path() / PathFromUtf8(UnpredictableName())));
    if (::ReplaceFileW(target.c_str(), source.c_str(), backup.c_str(), REPLACEFILE_IGNORE_MERGE_ERRORS,
                       nullptr, nullptr)) {
        ::DeleteFileW(backup.c_str());
        return true;
    }
    const DWORD error = ::GetLastError();
    if (IsMissing(error) && ::GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES)
        return ::MoveFileExW(source.c_str(), target.c_str(), kMove) || Failed(); // nothing to replace
    if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
        ::MoveFileExW(backup.c_str(), target.c_str(), kMove); // the old file back under its name
    ::SetLastError(error);
    return Failed();
}

// The moves above write through to the disk.
void FileOps::SyncFolder(const std::string&) {}

bool FileOps::Remove(const std::string& path) {
    return ::DeleteFileW(Wide(path).c_str()) || Failed();
}

void FileOps::RemoveLeftovers(const std::string& folder) {
    static std::mutex mutex;
    static std::set<std::string> swept;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!swept.insert(folder).second) return;
    }
    namespace fs = std::filesystem;
    std::error_code ec;
    const auto dayAgo = fs::file_time_type::clock::now() - std::chrono::hours(24);
    for (const auto& entry : fs::directory_iterator(PathFromUtf8(folder.empty() ? "." : folder), ec)) {
        const std::string name = Utf8FromPath(entry.path().filename());
        if (!IsTemporaryName(name) || entry.is_symlink(ec) || !entry.is_regular_file(ec)) continue;
        // Another user's file here is not ours to remove: the system's
        // access rules refuse that deletion by themselves.
        if (entry.last_write_time(ec) < dayAgo && !ec) ::DeleteFileW(entry.path().c_str());
    }
}

void FileOps::DeferInterrupts(bool defer) {
    static int depth = 0;
    if (defer && depth++ == 0) {
        ::SetConsoleCtrlHandler(HoldInterrupt, TRUE);
        deferDepth = 1;
    } else if (!defer && depth > 0 && --depth == 0) {
        deferDepth = 0;
        // A Ctrl-C that came meanwhile ends the process now, as it would have.
        if (interruptPending.exchange(false)) ::ExitProcess(STATUS_CONTROL_C_EXIT);
    }
}

} // namespace tlc
