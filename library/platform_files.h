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

// Creates or truncates the file at path, writes all bytes and flushes them to
// the storage device (fsync) before closing. Returns false when the open, any
// write, the flush or the close failed; the caller removes what is left.
// Others may read and write the file meanwhile.
bool WriteWholeFileDurably(const std::filesystem::path& path, std::string_view bytes);

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
