#pragma once
// The user's saved targets: one ".omtarget" file per target in TargetsFolder.
// Nothing is cached; every call reads the folder afresh, so files copied in
// or removed by hand count at once. The editor asks the questions and shows
// the messages; these functions do the file side and report what happened.
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "library/current_target.h"
#include "library/target_curve.h"

namespace ombrix {

inline constexpr std::string_view kTargetExtension = ".omtarget";
inline constexpr std::string_view kTargetFallbackName = "Target";
// The reason a save gives when the target's text would be larger than the
// library can read back (only a name or source of tens of kilobytes does that).
inline constexpr const char* kTargetTooLargeReason = "the target is too large to save";

// Every readable target of TargetsFolder, with its path set, sorted by name in
// byte order (upper case before lower case). Files that cannot be opened or
// read are left out without a word; a folder that cannot be listed gives an
// empty list.
std::vector<TargetCurve> ListUserTargets();

// The file a target of this display name is saved to.
std::filesystem::path TargetPathForName(std::string_view name);

// A question and its answer, which may come later: answer(true) to go on.
using TargetAnswer = std::function<void(bool yes)>;
// Asked with the trimmed name when a file (or anything else) is in the way;
// answer(true) replaces it. An empty function means that no editor is open
// to ask, which counts as No.
using ConfirmTargetReplace = std::function<void(const std::string& name, TargetAnswer answer)>;
// Asked with the current target's name before its files are deleted;
// answer(true) goes on. An empty function counts as No.
using ConfirmTargetDelete = std::function<void(const std::string& name, TargetAnswer answer)>;

enum class TargetSaveOutcome {
  Saved,         // written; the current target is now the User target of that name
  EmptyName,     // nothing but spaces and tabs was entered; nothing happened
  ReservedName,  // the name is exactly "Balanced"; nothing happened
  Declined,      // a file was in the way and replacing it was not confirmed
  Failed,        // see reason; neither the current target nor any file changed
};

struct TargetSaveResult {
  TargetSaveOutcome outcome = TargetSaveOutcome::EmptyName;
  std::string reason;  // lower case, no full stop; set only for Failed
};

// Saves the current target under the entered name (spaces and tabs trimmed
// from both ends). The file keeps the name as entered, not the cleaned file
// name. done gets the result: at once, or once the replace question was
// answered. The target is copied when the file is written, so a target
// chosen while the question was open is the one saved.
void SaveUserTarget(const std::string& enteredName, CurrentTarget& current, const ConfirmTargetReplace& confirmReplace,
                    std::function<void(const TargetSaveResult&)> done);

enum class TargetDeleteOutcome {
  Deleted,        // every file storing the name is gone; the curve stays on as a Learned target
  NotUserTarget,  // the current target is not a saved one; nothing happened
  Declined,       // the deletion was not confirmed
  Failed,         // see reason; the current target is unchanged
};

struct TargetDeleteResult {
  TargetDeleteOutcome outcome = TargetDeleteOutcome::NotUserTarget;
  std::string reason;  // "could not delete " + file name; set only for Failed
};

// Deletes every file of the library whose stored name equals the current User
// target's name, in list order, stopping at the first failure. When no file
// stores the name (it was removed by hand), the deletion still succeeds,
// unless an unreadable file stands where a target of that name is saved: it
// cannot be told apart from this target, so the deletion fails with
// "could not delete " + its file name and leaves it there. done gets the
// result: at once, or once the question was answered.
void DeleteUserTarget(CurrentTarget& current, const ConfirmTargetDelete& confirmDelete,
                      std::function<void(const TargetDeleteResult&)> done);

}  // namespace ombrix
