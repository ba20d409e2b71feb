#pragma once
// The few file operations whose guarantees depend on the operating system:
// writing a whole file durably, replacing one file by another atomically, and
// reading a small file while others may be writing it. The portable rules
// (names, temporary files, error texts) live in file_helpers.
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace ombrix::platform {

enum class NewFileOutcome {
  kWritten,    // created, written in full and flushed
  kNameTaken,  // something (a file, a link, a folder) already stands at the path; nothing was touched
  kNotMade,    // the file could not be created (no folder, no permission); nothing was touched
  kFailed,     // created, but a write, the flush or the close failed; the caller removes it
};

// Creates a new file at path and writes all bytes into it, flushed to the
// storage device (fsync) before closing. The file must not exist yet, and a
// link standing at the path is never followed (O_CREAT | O_EXCL |
// O_NOFOLLOW), so a writer only ever writes into a file it created itself.
// Others may read the file meanwhile. (A Windows build uses CreateFileW with
// CREATE_NEW and FILE_FLAG_OPEN_REPARSE_POINT, then FlushFileBuffers.)
NewFileOutcome WriteNewFileDurably(const std::filesystem::path& path, std::string_view bytes);

// Moves the file at from onto to in one step, replacing a file that is there
// (rename(2) within one folder), then flushes the folder so that the new name
// survives a crash. Fails when the move fails, for example when a folder
// stands at to. (A Windows build uses MoveFileExW with MOVEFILE_REPLACE_EXISTING,
// MOVEFILE_COPY_ALLOWED and MOVEFILE_WRITE_THROUGH.)
bool ReplaceFileAtomically(const std::filesystem::path& from, const std::filesystem::path& to);

// The whole content of the regular file at path, or nothing when it cannot be
// opened, is not a regular file, cannot be read, or holds more than maxBytes.
// Bytes come back as they are, without line-end translation.
std::optional<std::string> ReadWholeFileUpTo(const std::filesystem::path& path, std::size_t maxBytes);

}  // namespace ombrix::platform
