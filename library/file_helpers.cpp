#include "library/file_helpers.h"

#include <random>
#include <string>
#include <system_error>

#include "library/platform_files.h"

namespace ombrix {
namespace {

bool IsForbiddenFileNameByte(unsigned char byte) {
  if (byte < 0x20) return true;
  switch (byte) {
    case '"': case '*': case '/': case ':': case '<': case '>': case '?': case '\\': case '|':
      return true;
    default:
      return false;
  }
}

bool IsContinuationByte(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

// Where to cut a text that is longer than the limit so that no UTF-8
// character is split: a character straddling the limit is dropped whole.
std::size_t CutWithoutSplitting(const std::string& text, std::size_t limit) {
  std::size_t cut = limit;
  while (cut > 0 && IsContinuationByte(text[cut])) {
    bool moved = false;
    for (std::size_t back = 1; back <= 4 && back <= cut; ++back) {
      if (!IsContinuationByte(text[cut - back])) {
        cut -= back;
        moved = true;
        break;
      }
    }
    if (moved) break;
    cut = cut >= 5 ? cut - 5 : 0;
  }
  return cut;
}

bool IsReservedDeviceName(std::string_view stem) {
  std::string upper(stem);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  if (upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL") return true;
  return upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) && upper[3] >= '1' &&
         upper[3] <= '9';
}

bool RemoveQuietly(const std::filesystem::path& path) {
  std::error_code ignored;
  return std::filesystem::remove(path, ignored);
}

void CreateParentFolders(const std::filesystem::path& path) {
  std::error_code ignored;
  std::filesystem::create_directories(path.parent_path(), ignored);
}

bool IsLetterOrDigit(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// Whether a file name is one of the temporary names the writers below use
// (or older versions used): NAME.partial, NAME.partial-XXXXXX, NAME.tmp-XXXXXX.
bool IsTemporaryFileName(std::string_view name) {
  if (name.ends_with(kDocumentTemporaryMarker)) return true;
  std::size_t suffix = name.size();
  while (suffix > 0 && IsLetterOrDigit(name[suffix - 1])) --suffix;
  if (suffix == name.size()) return false;
  const std::string_view head = name.substr(0, suffix);
  return head.ends_with(std::string(kDocumentTemporaryMarker) + "-") ||
         head.ends_with(std::string(kServiceTemporaryMarker) + "-");
}

// Removes temporary files that a crashed or killed writer left in the folder
// once they are older than kStaleTemporaryAge: no write takes that long, so
// no writer still needs them. Links and folders are left alone. Errors are
// ignored: the sweep only tidies up.
void RemoveStaleTemporaries(const std::filesystem::path& folder) {
  std::error_code error;
  std::filesystem::directory_iterator it(folder, error);
  const auto now = std::filesystem::file_time_type::clock::now();
  for (const std::filesystem::directory_iterator end; !error && it != end; it.increment(error)) {
    if (!IsTemporaryFileName(PathToUtf8(it->path().filename()))) continue;
    std::error_code entryError;
    if (!it->is_regular_file(entryError) || it->is_symlink(entryError)) continue;
    const auto modified = it->last_write_time(entryError);
    if (!entryError && now - modified > kStaleTemporaryAge) RemoveQuietly(it->path());
  }
}

// Six random letters or digits: 62^6 names, so two writers practically never
// draw the same one, and one that does simply draws again.
std::string RandomTemporarySuffix(std::random_device& source) {
  static constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::uniform_int_distribution<std::size_t> pick(0, kAlphabet.size() - 1);
  std::string suffix(6, ' ');
  for (char& c : suffix) c = kAlphabet[pick(source)];
  return suffix;
}

// Writes bytes to a temporary file of this writer's own, path + marker + "-"
// + a random suffix, created exclusively beside path, flushed, then moved
// onto path. Concurrent writers of the same path never share a temporary
// file, so each move puts one whole text in place and the last move wins.
// On any failure the temporary file is removed and path is left as it was.
bool WriteThroughTemporary(const std::filesystem::path& path, std::string_view marker, std::string_view bytes) {
  constexpr int kNameAttempts = 16;
  std::random_device source;
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    std::filesystem::path temporary = path;
    temporary += std::string(marker) + "-" + RandomTemporarySuffix(source);
    switch (platform::WriteNewFileDurably(temporary, bytes)) {
      case platform::NewFileOutcome::kNameTaken:
        continue;
      case platform::NewFileOutcome::kNotMade:
        return false;
      case platform::NewFileOutcome::kFailed:
        RemoveQuietly(temporary);
        return false;
      case platform::NewFileOutcome::kWritten:
        if (platform::ReplaceFileAtomically(temporary, path)) return true;
        RemoveQuietly(temporary);
        return false;
    }
  }
  return false;
}

// The folder preparation shared by both writers: the folder chain, and no
// stale temporary files in it.
void PrepareFolderFor(const std::filesystem::path& path) {
  CreateParentFolders(path);
  RemoveStaleTemporaries(path.parent_path());
}

}  // namespace

std::filesystem::path PathFromUtf8(std::string_view text) {
  return std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

std::string PathToUtf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

std::filesystem::path FileNameForName(const std::filesystem::path& folder, std::string_view name,
                                      std::string_view extension, std::string_view fallback) {
  std::string result(name);
  for (char& c : result) {
    if (IsForbiddenFileNameByte(static_cast<unsigned char>(c))) c = '-';
  }
  if (result.size() > kMaxFileNameBytes) result.resize(CutWithoutSplitting(result, kMaxFileNameBytes));

  const auto first = result.find_first_not_of(" .");
  if (first == std::string::npos) {
    result.clear();
  } else {
    result = result.substr(first, result.find_last_not_of(" .") - first + 1);
  }
  if (result.empty()) result = fallback;

  if (IsReservedDeviceName(std::string_view(result).substr(0, result.find('.')))) result += '-';
  result += extension;
  return folder / PathFromUtf8(result);
}

std::vector<std::filesystem::path> ListFilesWithExtension(const std::filesystem::path& folder,
                                                          std::string_view extension) {
  std::vector<std::filesystem::path> files;
  std::error_code error;
  if (!folder.is_absolute() || !std::filesystem::is_directory(folder, error)) return files;
  const std::filesystem::path wanted = PathFromUtf8(extension);
  // The iterator's own construction and increment throw filesystem_error.
  for (std::filesystem::directory_iterator it(folder), end; it != end; ++it) {
    std::error_code entryError;
    if (!it->is_regular_file(entryError)) continue;
    if (it->path().extension().native() == wanted.native()) files.push_back(it->path());
  }
  return files;
}

std::optional<std::string> ReadSmallFile(const std::filesystem::path& path) {
  return ReadFileUpTo(path, kSmallFileLimit);
}

std::optional<std::string> ReadFileUpTo(const std::filesystem::path& path, std::size_t maxBytes) {
  if (!path.is_absolute()) return std::nullopt;
  return platform::ReadWholeFileUpTo(path, maxBytes);
}

bool WriteDocumentAtomically(const std::filesystem::path& path, std::string_view bytes, std::string& error) {
  if (!path.is_absolute()) {
    error = kNoDataFolderReason;
    return false;
  }
  PrepareFolderFor(path);
  // The fixed temporary name of older versions is never in use any more.
  std::filesystem::path oldTemporary = path;
  oldTemporary += kDocumentTemporaryMarker;
  RemoveQuietly(oldTemporary);
  if (!WriteThroughTemporary(path, kDocumentTemporaryMarker, bytes)) {
    error = "could not write " + PathToUtf8(path);
    return false;
  }
  return true;
}

bool WriteServiceFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
  if (!path.is_absolute()) return false;
  PrepareFolderFor(path);
  return WriteThroughTemporary(path, kServiceTemporaryMarker, bytes);
}

bool RemoveDocument(const std::filesystem::path& path, std::string& error) {
  std::error_code status;
  const auto kind = std::filesystem::symlink_status(path, status);
  std::error_code removal;
  // A folder at the path is not a document: refuse it rather than remove it.
  if (path.is_absolute() && !status && kind.type() != std::filesystem::file_type::directory &&
      std::filesystem::remove(path, removal) && !removal) {
    return true;
  }
  error = "could not delete " + PathToUtf8(path.filename());
  return false;
}

}  // namespace ombrix
