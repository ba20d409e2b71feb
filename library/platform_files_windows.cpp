// The Windows side of platform_files.h: paths go to the system as UTF-16
// (std::filesystem::path holds them so on Windows), never through the ANSI
// code page.
#include <windows.h>

#include "library/platform_files.h"

namespace ombrix::platform {
namespace {

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { Close(); }
  HANDLE Get() const { return handle_; }
  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool Close() {
    if (handle_ == INVALID_HANDLE_VALUE) return true;
    const BOOL closed = ::CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    return closed != FALSE;
  }

 private:
  HANDLE handle_;
};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool WriteAll(HANDLE file, std::string_view bytes) {
  const char* data = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const DWORD chunk = left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left);
    DWORD written = 0;
    if (!::WriteFile(file, data, chunk, &written, nullptr) || written == 0) return false;
    data += written;
    left -= written;
  }
  return true;
}

}  // namespace

NewFileOutcome WriteNewFileDurably(const std::filesystem::path& path, std::string_view bytes) {
  // CREATE_NEW fails on anything standing at the path, a link included
  // (FILE_FLAG_OPEN_REPARSE_POINT keeps a reparse point from being followed).
  Handle file(::CreateFileW(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file.IsOpen()) {
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? NewFileOutcome::kNameTaken
                                                                       : NewFileOutcome::kNotMade;
  }
  if (!WriteAll(file.Get(), bytes) || !::FlushFileBuffers(file.Get()) || !file.Close()) {
    return NewFileOutcome::kFailed;
  }
  return NewFileOutcome::kWritten;
}

bool ReplaceFileAtomically(const std::filesystem::path& from, const std::filesystem::path& to) {
  // A file that someone has open cannot be replaced on Windows, even when
  // they allow it to be deleted: another instance reading or replacing it at
  // this moment holds it for a few milliseconds. Such a refusal is retried
  // for a while; anything else, or a file held for longer, fails the move.
  constexpr int kAttempts = 40;
  for (int attempt = 1;; ++attempt) {
    // WRITE_THROUGH returns only once the move has reached the disk.
    if (::MoveFileExW(from.c_str(), to.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH)) {
      return true;
    }
    const DWORD error = ::GetLastError();
    if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) || attempt == kAttempts) return false;
    ::Sleep(attempt < 10 ? 1 : 10);
  }
}

std::optional<std::string> ReadWholeFileUpTo(const std::filesystem::path& path, std::size_t maxBytes) {
  Handle file(
      ::CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsOpen() || ::GetFileType(file.Get()) != FILE_TYPE_DISK) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(file.Get(), &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return std::nullopt;
  }
  std::string content;
  char buffer[16384];
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr)) return std::nullopt;
    if (got == 0) break;
    if (content.size() + got > maxBytes) return std::nullopt;
    content.append(buffer, got);
  }
  return content;
}

}  // namespace ombrix::platform
