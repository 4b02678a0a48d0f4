#include "base/WholeFile.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// Two saves in one process never pick the same temporary name, and two
// processes differ by their id.
std::atomic<unsigned> temporaryCount{0};

bool IsSeparator(char c)
{
#ifdef _WIN32
    return c == '\\' || c == '/';
#else
    return c == '/';
#endif
}

// The last part of `path`, for messages: the folder is the user's business.
std::string FileName(const std::string& path)
{
    size_t end = path.size();
    while (end > 0 && !IsSeparator(path[end - 1]))
        --end;
    return path.substr(end);
}

}  // namespace

#ifdef _WIN32

namespace {

std::wstring Wide(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

std::string SystemMessage(DWORD error)
{
    char* text = nullptr;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = length > 0 && text != nullptr ? std::string(text, length) : std::string();
    if (text != nullptr)
        LocalFree(text);
    while (!message.empty() && (message.back() == '\r' || message.back() == '\n' || message.back() == ' ' ||
                                message.back() == '.'))
        message.pop_back();
    if (message.empty())
        message = "error " + std::to_string(error);
    return message;
}

std::string Failure(const char* what, const std::string& path, DWORD error)
{
    return std::string(what) + " " + FileName(path) + ": " + SystemMessage(error);
}

// Owns one file handle.
class File {
public:
    explicit File(HANDLE owned) : handle(owned) {}
    ~File() { Close(); }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    bool Valid() const { return handle != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle; }
    bool Close()
    {
        bool closed = true;
        if (handle != INVALID_HANDLE_VALUE)
            closed = CloseHandle(handle) != FALSE;
        handle = INVALID_HANDLE_VALUE;
        return closed;
    }

private:
    HANDLE handle;
};

void MakeParentFolders(const std::wstring& path)
{
    // Each folder on the way, outermost first; a drive ("C:") or a share's
    // root cannot be made, and failing there is harmless: the file's own
    // creation reports what really matters.
    for (size_t i = 1; i < path.size(); ++i) {
        if (path[i] != L'\\' && path[i] != L'/')
            continue;
        if (path[i - 1] == L':' || path[i - 1] == L'\\' || path[i - 1] == L'/')
            continue;
        CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
    }
}

}  // namespace

WholeFileRead ReadWholeFile(const std::string& path, size_t largest)
{
    WholeFileRead result;
    File file(CreateFileW(Wide(path).c_str(), GENERIC_READ,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        DWORD error = GetLastError();
        bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        result.status = missing ? WholeFileRead::Status::Missing : WholeFileRead::Status::Failed;
        result.failure = Failure("cannot read", path, error);
        return result;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size)) {
        result.status = WholeFileRead::Status::Failed;
        result.failure = Failure("cannot read", path, GetLastError());
        return result;
    }
    if (static_cast<uint64_t>(size.QuadPart) > largest) {
        result.status = WholeFileRead::Status::TooLarge;
        result.failure = FileName(path) + " is too large";
        return result;
    }
    // The size read first is only a hint: the file may change meanwhile.
    std::string bytes;
    bytes.reserve(static_cast<size_t>(size.QuadPart));
    char block[16384];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), block, sizeof(block), &got, nullptr)) {
            result.status = WholeFileRead::Status::Failed;
            result.failure = Failure("cannot read", path, GetLastError());
            return result;
        }
        if (got == 0)
            break;
        if (bytes.size() + got > largest) {
            result.status = WholeFileRead::Status::TooLarge;
            result.failure = FileName(path) + " is too large";
            return result;
        }
        bytes.append(block, got);
    }
    result.status = WholeFileRead::Status::Read;
    result.bytes = std::move(bytes);
    return result;
}

WholeFileReplace ReplaceWholeFile(const std::string& path, std::string_view bytes)
{
    WholeFileReplace result;
    const std::wstring target = Wide(path);
    if (target.empty()) {
        result.failure = "no file name to write";
        return result;
    }
    // Windows refuses to replace a read-only file and Wine does not: ask
    // first, so that a file marked read-only stays as it is on both.
    DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        result.failure = Failure("cannot write", path, ERROR_ACCESS_DENIED);
        return result;
    }
    MakeParentFolders(target);
    const std::wstring temporary = target + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                   std::to_wstring(temporaryCount.fetch_add(1)) + L".tmp";
    File file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                          nullptr));
    if (!file.Valid()) {
        result.failure = Failure("cannot write", path, GetLastError());
        return result;
    }
    DWORD error = ERROR_SUCCESS;
    size_t done = 0;
    while (done < bytes.size() && error == ERROR_SUCCESS) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file.Get(), bytes.data() + done, chunk, &written, nullptr))
            error = GetLastError();
        else if (written == 0)
            error = ERROR_DISK_FULL;  // nothing taken and no reason given: the disk is full
        done += written;
    }
    if (error == ERROR_SUCCESS && !FlushFileBuffers(file.Get()))
        error = GetLastError();
    if (!file.Close() && error == ERROR_SUCCESS)
        error = GetLastError();
    if (error == ERROR_SUCCESS &&
        !MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = GetLastError();
    if (error != ERROR_SUCCESS) {
        DeleteFileW(temporary.c_str());
        result.failure = Failure("cannot write", path, error);
    }
    return result;
}

#else

namespace {

std::string Failure(const char* what, const std::string& path, int error)
{
    return std::string(what) + " " + FileName(path) + ": " + std::strerror(error);
}

// Owns one file descriptor.
class File {
public:
    explicit File(int owned) : descriptor(owned) {}
    ~File() { Close(); }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    bool Valid() const { return descriptor >= 0; }
    int Get() const { return descriptor; }
    bool Close()
    {
        bool closed = true;
        if (descriptor >= 0)
            closed = ::close(descriptor) == 0;
        descriptor = -1;
        return closed;
    }

private:
    int descriptor;
};

void MakeParentFolders(const std::string& path)
{
    for (size_t i = 1; i < path.size(); ++i) {
        if (path[i] == '/' && path[i - 1] != '/')
            ::mkdir(path.substr(0, i).c_str(), 0777);
    }
}

std::string FolderOf(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

WholeFileRead ReadWholeFile(const std::string& path, size_t largest)
{
    WholeFileRead result;
    File file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (!file.Valid() || ::fstat(file.Get(), &info) != 0 || S_ISDIR(info.st_mode)) {
        int error = !file.Valid() ? errno : S_ISDIR(info.st_mode) ? EISDIR : errno;
        bool missing = error == ENOENT || error == ENOTDIR;
        result.status = missing ? WholeFileRead::Status::Missing : WholeFileRead::Status::Failed;
        result.failure = Failure("cannot read", path, error);
        return result;
    }
    if (static_cast<uint64_t>(info.st_size) > largest) {
        result.status = WholeFileRead::Status::TooLarge;
        result.failure = FileName(path) + " is too large";
        return result;
    }
    std::string bytes;
    bytes.reserve(static_cast<size_t>(info.st_size));
    char block[16384];
    for (;;) {
        ssize_t got = ::read(file.Get(), block, sizeof(block));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            result.status = WholeFileRead::Status::Failed;
            result.failure = Failure("cannot read", path, errno);
            return result;
        }
        if (got == 0)
            break;
        if (bytes.size() + static_cast<size_t>(got) > largest) {
            result.status = WholeFileRead::Status::TooLarge;
            result.failure = FileName(path) + " is too large";
            return result;
        }
        bytes.append(block, static_cast<size_t>(got));
    }
    result.status = WholeFileRead::Status::Read;
    result.bytes = std::move(bytes);
    return result;
}

WholeFileReplace ReplaceWholeFile(const std::string& path, std::string_view bytes)
{
    WholeFileReplace result;
    if (path.empty() || path.back() == '/') {
        result.failure = "no file name to write";
        return result;
    }
    MakeParentFolders(path);
    const std::string temporary =
        path + "." + std::to_string(::getpid()) + "-" + std::to_string(temporaryCount.fetch_add(1)) + ".tmp";
    // The new file takes the old one's permissions, so that replacing does
    // not open a private file to others.
    struct stat old {};
    mode_t mode = ::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode) ? (old.st_mode & 07777) : 0666;
    File file(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
    if (!file.Valid()) {
        result.failure = Failure("cannot write", path, errno);
        return result;
    }
    int error = 0;
    size_t done = 0;
    while (done < bytes.size() && error == 0) {
        ssize_t written = ::write(file.Get(), bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            error = errno;
        else if (written == 0)
            error = ENOSPC;
        else
            done += static_cast<size_t>(written);
    }
    if (error == 0 && old.st_mode != 0 && ::fchmod(file.Get(), mode) != 0)
        error = errno;  // the umask took bits away
    if (error == 0 && ::fsync(file.Get()) != 0)
        error = errno;
    if (!file.Close() && error == 0)
        error = errno;
    if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        result.failure = Failure("cannot write", path, error);
        return result;
    }
    // The new name itself reaches the disk with its folder.
    File folder(::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Valid())
        ::fsync(folder.Get());
    return result;
}

#endif

bool MoveWholeFile(const std::string& from, const std::string& to)
{
#ifdef _WIN32
    return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    return ::rename(from.c_str(), to.c_str()) == 0;
#endif
}
