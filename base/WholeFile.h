#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// Small files kept whole: read in one go, and replaced in one go so that a
// reader (or the next start, after a crash or a full disk) finds either the
// old file or the new one, never a mixture or a cut.
//
// Paths are narrow strings: on Windows in the process's ANSI code page, as
// the "A" functions take them; elsewhere as the system takes them.

struct WholeFileRead {
    enum class Status {
        Read,      // `bytes` holds the whole file
        Missing,   // no file there (nor, perhaps, its folder)
        TooLarge,  // larger than the caller allows; nothing read
        Failed,    // there, but not readable (a folder, a sharing violation, ...)
    };
    Status status = Status::Missing;
    std::string bytes;
    // Why it is not Read, in words fit for a status line; empty when Read.
    std::string failure;
};

// The file's bytes when it holds at most `largest` of them.
WholeFileRead ReadWholeFile(const std::string& path, size_t largest);

struct WholeFileReplace {
    // Empty when the file now holds the new bytes; otherwise what failed.
    std::string failure;
    bool Ok() const { return failure.empty(); }
};

// Writes `bytes` to a new file beside `path`, flushes it to the disk, then
// puts it in the place of `path` in one step (on Windows MoveFileExW with
// MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH, elsewhere rename).
// Folders missing on the way to `path` are made first. On any failure the
// file at `path`, if any, is left byte for byte as it was and the temporary
// file is removed. A file marked read-only (on Windows) is not replaced.
WholeFileReplace ReplaceWholeFile(const std::string& path, std::string_view bytes);

// Moves the file at `from` to `to` in one step, replacing a file there: for
// putting a file aside under another name. False when it could not.
bool MoveWholeFile(const std::string& from, const std::string& to);
