#include "library/presets.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <system_error>
#include <utility>

#include "library/base64.h"
#include "library/data_folders.h"
#include "library/file_helpers.h"

namespace ombrix {
namespace {

constexpr int kMaxNumberedCandidates = 999;
constexpr const char* kLoadCaption = "Load preset";
constexpr const char* kSaveCaption = "Save preset";
constexpr const char* kDeleteCaption = "Delete preset";
constexpr const char* kNoStateReason = "the state could not be taken";

std::string TrimSpacesAndTabs(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return std::string(text.substr(first, last - first + 1));
}

// The name as the file stores it: one line.
std::string NameAsStored(std::string_view name) {
  std::string stored(name);
  std::replace(stored.begin(), stored.end(), '\r', ' ');
  std::replace(stored.begin(), stored.end(), '\n', ' ');
  return stored;
}

// Splits text into lines at LF, each without one trailing CR. Like reading
// line by line: text after the last LF is a line of its own when not empty.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {}

  bool Next(std::string_view& line) {
    if (at_ >= text_.size()) return false;
    const auto end = text_.find('\n', at_);
    const auto stop = end == std::string_view::npos ? text_.size() : end;
    line = text_.substr(at_, stop - at_);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    at_ = end == std::string_view::npos ? text_.size() : end + 1;
    return true;
  }

 private:
  std::string_view text_;
  std::size_t at_ = 0;
};

// Present at the path in any form, a dangling link included. A status that
// cannot be read, or a relative path (no data folder), counts as absent.
bool SomethingExistsAt(const std::filesystem::path& path) {
  if (!path.is_absolute()) return false;
  std::error_code error;
  const auto status = std::filesystem::symlink_status(path, error);
  return !error && std::filesystem::exists(status);
}

bool StartsWithTag(const std::vector<std::uint8_t>& state, std::int32_t tag) {
  if (state.size() < 4) return false;
  const std::uint32_t stored = std::uint32_t{state[0]} | (std::uint32_t{state[1]} << 8) |
                               (std::uint32_t{state[2]} << 16) | (std::uint32_t{state[3]} << 24);
  return stored == static_cast<std::uint32_t>(tag);
}

std::string PresetFileText(const std::string& name, std::span<const std::uint8_t> state,
                           const PresetFormat& format) {
  std::string text(format.header);
  text += "\nname=";
  text += NameAsStored(name);
  text += "\nstate=";
  text += EncodeBase64(state);
  text += '\n';
  return text;
}

std::string LoadFailure(std::string_view reason) { return "Could not load the preset: " + std::string(reason); }
std::string SaveFailure(std::string_view reason) { return "Could not save the preset: " + std::string(reason); }
std::string DeleteFailure(std::string_view reason) { return "Could not delete the preset: " + std::string(reason); }

// The preset of this name at the given place among the presets of that name
// (the first when there are fewer of them).
std::optional<PresetEntry> PresetNamed(const std::string& name, int occurrence) {
  std::optional<PresetEntry> first;
  int seen = 0;
  for (PresetEntry& entry : ListPresets()) {
    if (entry.name != name) continue;
    if (seen++ == occurrence) return std::move(entry);
    if (!first) first = std::move(entry);
  }
  return first;
}

// Why no listed preset has this name any more: the reader's reason for the
// file the name is saved to, or that it is gone.
std::string MissingPresetReason(const std::string& name) {
  const PresetFormat& format = kOmbrixPresetFormat;
  const std::filesystem::path path = FileNameForName(PresetsFolder(), name, format.extension, format.fallbackName);
  PresetEntry unused;
  std::string reason;
  std::error_code ignored;
  if (std::filesystem::exists(path, ignored) && !ReadPresetFile(path, unused, reason, format)) return reason;
  return "it is no longer in the presets folder: \xE2\x80\x9C" + name + "\xE2\x80\x9D";
}

}  // namespace

bool ReadPresetFile(const std::filesystem::path& path, PresetEntry& entry, std::string& reason,
                    const PresetFormat& format) {
  const std::string fileName = PathToUtf8(path.filename());
  const std::optional<std::string> bytes = ReadSmallFile(path);
  LineReader lines(bytes ? std::string_view(*bytes) : std::string_view());
  std::string_view line;
  if (!bytes || !lines.Next(line) || line != format.header) {
    reason = "not an " + std::string(format.productName) + " preset: " + fileName;
    return false;
  }
  PresetEntry read;
  bool stateRead = false;
  while (lines.Next(line)) {
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view key = line.substr(0, equals);
    const std::string_view value = line.substr(equals + 1);
    if (key == "name") {
      read.name = value;
    } else if (key == "state") {
      auto decoded = DecodeBase64(value);
      stateRead = decoded && !decoded->empty();
      read.state = stateRead ? std::move(*decoded) : std::vector<std::uint8_t>();
    }
  }
  if (!stateRead) {
    reason = "the preset has no readable state: " + fileName;
    return false;
  }
  if (read.name.empty()) read.name = PathToUtf8(path.stem());
  read.path = path;
  entry = std::move(read);
  return true;
}

std::filesystem::path PresetPathForName(const std::filesystem::path& folder, const std::string& name,
                                        const PresetFormat& format) {
  const std::filesystem::path base = FileNameForName(folder, name, format.extension, format.fallbackName);
  if (!base.is_absolute()) return base;  // no data folder: the write will say so
  const std::string stem = PathToUtf8(base.stem());
  const std::string stored = NameAsStored(name);
  for (int number = 0; number <= kMaxNumberedCandidates; ++number) {
    const std::filesystem::path candidate =
        number == 0 ? base
                    : base.parent_path() /
                          PathFromUtf8(stem + "-" + std::to_string(number) + std::string(format.extension));
    std::error_code error;
    const auto status = std::filesystem::symlink_status(candidate, error);
    if (error || !std::filesystem::exists(status)) return candidate;
    PresetEntry entry;
    std::string unusedReason;
    if (ReadPresetFile(candidate, entry, unusedReason, format) && entry.name == stored) return candidate;
  }
  return base;
}

bool WritePresetFile(const std::filesystem::path& folder, const std::string& name,
                     std::span<const std::uint8_t> state, std::string& reason, const PresetFormat& format) {
  // A file without a state would be unreadable, and it might replace this
  // preset's good file.
  if (state.empty()) {
    reason = kNoStateReason;
    return false;
  }
  const std::string text = PresetFileText(name, state, format);
  // Only a state carrying names of tens of kilobytes gets here; such a file
  // could never be listed again.
  if (text.size() > kSmallFileLimit) {
    reason = kPresetTooLargeReason;
    return false;
  }
  return WriteDocumentAtomically(PresetPathForName(folder, name, format), text, reason);
}

std::vector<PresetEntry> ListPresetsIn(const std::filesystem::path& folder, const PresetFormat& format) {
  std::vector<std::filesystem::path> paths;
  try {
    paths = ListFilesWithExtension(folder, format.extension);
  } catch (const std::exception&) {
    return {};
  }
  std::vector<PresetEntry> entries;
  for (const auto& path : paths) {
    PresetEntry entry;
    std::string unusedReason;
    if (ReadPresetFile(path, entry, unusedReason, format)) entries.push_back(std::move(entry));
  }
  // By name in byte order; the path only makes the order of equal names repeatable.
  std::sort(entries.begin(), entries.end(), [](const PresetEntry& a, const PresetEntry& b) {
    if (a.name != b.name) return a.name < b.name;
    return a.path < b.path;
  });
  return entries;
}

std::vector<PresetEntry> ListPresets() { return ListPresetsIn(PresetsFolder()); }

bool LoadPreset(PresetHost& host, const PresetEntry& entry) {
  const EditorDialogs dialogs = host.Dialogs();
  const PresetFormat& format = kOmbrixPresetFormat;
  try {
    PresetEntry fresh;
    std::string reason;
    if (!ReadPresetFile(entry.path, fresh, reason, format)) {
      dialogs.Show(kLoadCaption, LoadFailure(reason));
      return false;
    }
    if (!StartsWithTag(fresh.state, format.stateTag)) {
      dialogs.Show(kLoadCaption, LoadFailure("it does not hold an " + std::string(format.productName) + " state."));
      return false;
    }
    const bool loudnessView = host.LoudnessView();
    // A damaged state may be applied in part before the damage shows; the
    // present state is put back then, so a failed load changes nothing.
    ByteChunk before;
    const bool haveBefore = host.SerializeState(before) && before.Size() > 0;
    if (host.UnserializeState(ByteChunk(std::move(fresh.state)), 0) < 0) {
      if (haveBefore) host.UnserializeState(before, 0);
      dialogs.Show(kLoadCaption, LoadFailure("its state is damaged."));
      return false;
    }
    host.SetLoudnessView(loudnessView);
    host.ReportParametersAsUserEdits();
    host.SetPresetName(fresh.name);
    host.SetPresetChanged(false);
    host.RefreshEditorAfterLoad();
    return true;
  } catch (const std::exception& error) {
    dialogs.Show(kLoadCaption, LoadFailure(error.what()));
    return false;
  }
}

void RequestPresetSave(PresetHost& host, const std::string& enteredName) {
  // Trimmed before comparing, so that " Warm" cannot slip past the question
  // and then replace the preset "Warm" once SavePreset has trimmed it.
  const std::string name = TrimSpacesAndTabs(enteredName);
  if (name.empty()) return;
  if (name != host.PresetName() && SomethingExistsAt(PresetPathForName(PresetsFolder(), name))) {
    host.SetPendingPresetSave(name);
    return;
  }
  SavePreset(host, name, false);
}

namespace {

// The save itself, once no question stands in the way.
bool WritePreset(PresetHost& host, const std::string& name, const EditorDialogs& dialogs) {
  std::optional<std::pair<std::string, bool>> previous;  // name and changed mark before the save
  const auto restorePrevious = [&] {
    if (!previous) return;
    host.SetPresetName(previous->first);
    host.SetPresetChanged(previous->second);
  };
  try {
    previous.emplace(host.PresetName(), host.PresetChanged());
    host.SetPresetName(name);
    host.SetPresetChanged(false);
    ByteChunk chunk;
    std::string reason = kNoStateReason;
    const bool stateTaken = host.SerializeState(chunk) && chunk.Size() > 0;
    const bool written = stateTaken && WritePresetFile(PresetsFolder(), name, chunk.Bytes(), reason);
    if (!written) {
      restorePrevious();
      dialogs.Show(kSaveCaption, SaveFailure(reason));
    }
    return written;
  } catch (const std::exception& error) {
    try {
      restorePrevious();
    } catch (const std::exception&) {
    }
    dialogs.Show(kSaveCaption, SaveFailure(error.what()));
    return false;
  }
}

}  // namespace

void SavePreset(PresetHost& host, const std::string& enteredName, bool ask, std::function<void(bool written)> done) {
  const auto finish = [done](bool written) {
    if (done) done(written);
  };
  const std::string name = TrimSpacesAndTabs(enteredName);
  if (name.empty()) return finish(false);
  const EditorDialogs dialogs = host.Dialogs();
  bool exists = false;
  try {
    exists = ask && SomethingExistsAt(PresetPathForName(PresetsFolder(), name));
  } catch (const std::exception& error) {
    dialogs.Show(kSaveCaption, SaveFailure(error.what()));
    return finish(false);
  }
  if (!exists) return finish(WritePreset(host, name, dialogs));
  dialogs.Ask(kSaveCaption, "A preset named \"" + name + "\" already exists. Replace it?",
              [&host, name, dialogs, finish](bool yes) { finish(yes && WritePreset(host, name, dialogs)); });
}

bool DeletePreset(PresetHost& host, const PresetEntry& entry) {
  const EditorDialogs dialogs = host.Dialogs();
  try {
    std::string reason;
    if (RemoveDocument(entry.path, reason)) return true;
    dialogs.Show(kDeleteCaption, DeleteFailure(reason));
  } catch (const std::exception& error) {
    dialogs.Show(kDeleteCaption, DeleteFailure(error.what()));
  }
  return false;
}

bool LoadPresetByName(PresetHost& host, const std::string& name, int occurrence) {
  try {
    if (const auto entry = PresetNamed(name, occurrence)) return LoadPreset(host, *entry);
    host.Dialogs().Show(kLoadCaption, LoadFailure(MissingPresetReason(name)));
  } catch (const std::exception& error) {
    host.Dialogs().Show(kLoadCaption, LoadFailure(error.what()));
  }
  return false;
}

bool DeletePresetByName(PresetHost& host, const std::string& name, int occurrence) {
  try {
    if (const auto entry = PresetNamed(name, occurrence)) return DeletePreset(host, *entry);
    host.Dialogs().Show(kDeleteCaption, DeleteFailure(MissingPresetReason(name)));
  } catch (const std::exception& error) {
    host.Dialogs().Show(kDeleteCaption, DeleteFailure(error.what()));
  }
  return false;
}

PresetLibraryCallbacks MakePresetLibraryCallbacks(PresetHost& host) {
  PresetLibraryCallbacks callbacks;
  callbacks.listNames = [] {
    std::vector<std::string> names;
    for (PresetEntry& entry : ListPresets()) names.push_back(std::move(entry.name));
    return names;
  };
  callbacks.currentName = [&host] { return host.PresetName(); };
  callbacks.loadByName = [&host](const std::string& name, int occurrence) {
    LoadPresetByName(host, name, occurrence);
  };
  callbacks.saveByName = [&host](const std::string& name) { RequestPresetSave(host, name); };
  callbacks.deleteByName = [&host](const std::string& name, int occurrence) {
    DeletePresetByName(host, name, occurrence);
  };
  callbacks.changed = [&host] { return host.PresetChanged(); };
  return callbacks;
}

}  // namespace ombrix
