#pragma once
// Presets: named snapshots of the whole plug-in state, one ".ompreset" text
// file each in PresetsFolder, with the state bytes in Base64:
//
//   Ombrix preset 1
//   name=<name, CR and LF turned into spaces>
//   state=<Base64 of the state chunk>
//
// The file side is written against a PresetFormat so that it can serve other
// products; the plug-in side reaches the plug-in only through PresetHost.
// Everything here runs on the user-interface thread and keeps no state: every
// operation reads the folder afresh.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/byte_chunk.h"
#include "library/plugin_state.h"
#include "library/editor_dialogs.h"

namespace ombrix {

struct PresetFormat {
  std::string_view extension;     // of the preset files
  std::string_view header;        // the exact first line
  std::string_view productName;   // used in messages and reasons
  std::string_view fallbackName;  // file name for a name that cleans to nothing
  std::int32_t stateTag;          // the first four bytes of every state of the product
};

inline constexpr PresetFormat kOmbrixPresetFormat{".ompreset", "Ombrix preset 1", "Ombrix", "Preset", kStateTag};

struct PresetEntry {
  std::string name;                 // compared byte for byte
  std::vector<std::uint8_t> state;  // never empty in an entry that was read
  std::filesystem::path path;       // the file it was read from
};

// Reads one preset file (LF or CR LF, keys in any order after the header,
// unknown keys ignored, the last "state=" line counts). On failure returns
// false with a reason naming the file and leaves entry untouched: "not an
// Ombrix preset: " or "the preset has no readable state: " + file name. A
// file without a name takes its file name without extension.
bool ReadPresetFile(const std::filesystem::path& path, PresetEntry& entry, std::string& reason,
                    const PresetFormat& format = kOmbrixPresetFormat);

// The file a preset of this name goes to: the cleaned file name, or that
// name with "-1" ... "-999" before the extension, whichever first is free or
// already holds a preset of this very name. Another preset's file, or
// anything unreadable, is never chosen while a candidate is left.
std::filesystem::path PresetPathForName(const std::filesystem::path& folder, const std::string& name,
                                        const PresetFormat& format = kOmbrixPresetFormat);

// The reason a save gives when the file would be larger than the library can
// read back.
inline constexpr const char* kPresetTooLargeReason = "the preset is too large to save";

// Writes the three lines atomically to PresetPathForName(folder, name). On
// failure returns false with the writer's reason ("could not write " + path);
// an empty state is refused with "the state could not be taken", a file that
// would be too large to read back with kPresetTooLargeReason.
bool WritePresetFile(const std::filesystem::path& folder, const std::string& name,
                     std::span<const std::uint8_t> state, std::string& reason,
                     const PresetFormat& format = kOmbrixPresetFormat);

// Every readable preset of the folder, sorted by name in byte order. Files
// that cannot be read are left out without a word; a folder that cannot be
// listed gives an empty list.
std::vector<PresetEntry> ListPresetsIn(const std::filesystem::path& folder,
                                       const PresetFormat& format = kOmbrixPresetFormat);
// ListPresetsIn(PresetsFolder()).
std::vector<PresetEntry> ListPresets();

// What the preset library needs from the plug-in. Every call comes on the
// user-interface thread; the plug-in guards what the host's state calls may
// touch on other threads (the preset name) with its own locks.
class PresetHost {
 public:
  virtual ~PresetHost() = default;

  // Appends the whole plug-in state, as handed to the host; false when it
  // could not be taken.
  virtual bool SerializeState(ByteChunk& chunk) = 0;
  // Restores the state from startPos exactly as when the host restores a
  // project; returns the position after the last field read, or a negative
  // number when the state is damaged.
  virtual int UnserializeState(const ByteChunk& chunk, int startPos) = 0;

  // The loaded preset's name (empty when none), under the preset-name lock.
  virtual std::string PresetName() const = 0;
  virtual void SetPresetName(const std::string& name) = 0;

  // The changed mark: the modified flag or the saved-modified mark. Setting
  // false clears both and makes the present parameter values the reference
  // against which later changes are spotted; setting true sets the modified
  // flag.
  virtual bool PresetChanged() const = 0;
  virtual void SetPresetChanged(bool changed) = 0;

  // The loudness panel's view (true: integrated). A load keeps it.
  virtual bool LoudnessView() const = 0;
  virtual void SetLoudnessView(bool integrated) = 0;

  // After a load: report every parameter's value to the host as a user edit
  // (a begin-edit for every parameter, then every value, then an end-edit for
  // every parameter).
  virtual void ReportParametersAsUserEdits() = 0;
  // After a load, once the preset name is set: refresh the open editor, give
  // it the window size stored in the state when its scale differs from the
  // present one by more than 0.01, and tell the preset bar that the preset
  // changed. Does nothing while no editor is open.
  virtual void RefreshEditorAfterLoad() = 0;

  // Keeps a name for the next idle tick, which calls SavePreset(name, true)
  // and clears it. Replaces a name already pending.
  virtual void SetPendingPresetSave(const std::string& name) = 0;

  // The open editor's dialogs, or a default-constructed EditorDialogs when
  // no editor window is open (questions answer No, messages are dropped).
  virtual EditorDialogs Dialogs() const = 0;
};

// Loads a listed preset: reads its file again, checks that it holds a state
// of this product, restores it, keeps the loudness view, reports the
// parameters to the host, names the preset and clears the changed mark. A
// damaged state leaves the plug-in as it was. Failures are shown under
// "Load preset"; returns whether the preset was loaded.
bool LoadPreset(PresetHost& host, const PresetEntry& entry);

// The preset bar's save: the current preset's own name saves at once; a name
// another preset already has is left pending so that the next idle tick asks
// before replacing it; any other name saves at once.
void RequestPresetSave(PresetHost& host, const std::string& enteredName);

// Saves the present state under the name (spaces and tabs trimmed; nothing
// happens when nothing is left). With ask, an existing preset of that name is
// replaced only after a Yes: the save then happens when the answer comes,
// which may be later. The preset name is set before the state is taken so
// that the state names its preset; a failure restores the name and the
// changed mark. Failures are shown under "Save preset"; done (when given)
// learns whether the preset was written.
void SavePreset(PresetHost& host, const std::string& enteredName, bool ask,
                std::function<void(bool written)> done = {});

// Removes the preset's file. Neither the state nor the preset name changes.
// Failures are shown under "Delete preset"; returns whether it was removed.
bool DeletePreset(PresetHost& host, const PresetEntry& entry);

// Load or delete a preset of ListPresets() with exactly this name: the one at
// place occurrence among those of that name (0: the first; the first again
// when there are fewer). When none has the name any more (its file vanished
// or was damaged since the list was read) the failure is shown as any other,
// with the reader's reason for the file the name saves to; returns false.
bool LoadPresetByName(PresetHost& host, const std::string& name, int occurrence = 0);
bool DeletePresetByName(PresetHost& host, const std::string& name, int occurrence = 0);

// The six callables the preset bar works through, all by name; load and
// delete also say which of several presets of the same name is meant.
struct PresetLibraryCallbacks {
  std::function<std::vector<std::string>()> listNames;  // ListPresets() order, duplicates kept
  std::function<std::string()> currentName;
  std::function<void(const std::string&, int occurrence)> loadByName;
  std::function<void(const std::string&)> saveByName;  // RequestPresetSave
  std::function<void(const std::string&, int occurrence)> deleteByName;
  std::function<bool()> changed;
};

// Binds the callables to host, which must outlive them.
PresetLibraryCallbacks MakePresetLibraryCallbacks(PresetHost& host);

}  // namespace ombrix
