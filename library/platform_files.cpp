#include "library/platform_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace ombrix::platform {
namespace {

// Closes the descriptor once; close() is not retried on EINTR (Linux has
// already released the descriptor by then).
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() { Close(); }
  int Get() const { return fd_; }
  bool IsOpen() const { return fd_ >= 0; }
  bool Close() {
    if (fd_ < 0) return true;
    const int result = ::close(fd_);
    fd_ = -1;
    return result == 0;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, std::string_view bytes) {
  const char* data = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t written = ::write(fd, data, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (written == 0) return false;
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  return true;
}

bool SyncFolder(const std::filesystem::path& folder) {
  Descriptor dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!dir.IsOpen()) return false;
  // Some file systems cannot sync a folder (EINVAL); the rename still stands.
  const bool synced = ::fsync(dir.Get()) == 0 || errno == EINVAL;
  return dir.Close() && synced;
}

}  // namespace

NewFileOutcome WriteNewFileDurably(const std::filesystem::path& path, std::string_view bytes) {
  Descriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
  if (!file.IsOpen()) return errno == EEXIST ? NewFileOutcome::kNameTaken : NewFileOutcome::kNotMade;
  if (!WriteAll(file.Get(), bytes) || ::fsync(file.Get()) != 0 || !file.Close()) return NewFileOutcome::kFailed;
  return NewFileOutcome::kWritten;
}

bool ReplaceFileAtomically(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) return false;
  // The file is in place whatever the folder flush says; a failed flush only
  // weakens durability, so it does not turn the replacement into a failure.
  SyncFolder(to.parent_path());
  return true;
}

std::optional<std::string> ReadWholeFileUpTo(const std::filesystem::path& path, std::size_t maxBytes) {
  // O_NONBLOCK keeps a FIFO standing at the path from blocking the open.
  Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!file.IsOpen()) return std::nullopt;
  struct stat info {};
  if (::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  std::string content;
  char buffer[16384];
  for (;;) {
    const ssize_t got = ::read(file.Get(), buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (got == 0) break;
    if (content.size() + static_cast<std::size_t>(got) > maxBytes) return std::nullopt;
    content.append(buffer, static_cast<std::size_t>(got));
  }
  return content;
}

}  // namespace ombrix::platform
