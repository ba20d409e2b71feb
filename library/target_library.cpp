#include "library/target_library.h"

#include <algorithm>
#include <exception>
#include <sstream>
#include <utility>

#include "library/data_folders.h"
#include "library/factory_targets.h"
#include "library/file_helpers.h"

namespace ombrix {
namespace {

std::string TrimSpacesAndTabs(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return std::string(text.substr(first, last - first + 1));
}

// Anything at all at the path, a dangling link included. Relative paths (no
// data folder) are never looked up, so the working folder is not consulted.
// Throws std::filesystem::filesystem_error when the status cannot be read.
bool SomethingExistsAt(const std::filesystem::path& path) {
  if (!path.is_absolute()) return false;
  return std::filesystem::exists(std::filesystem::symlink_status(path));
}

bool ReadUserTargetFile(const std::filesystem::path& path, TargetCurve& target) {
  const auto bytes = ReadSmallFile(path);
  if (!bytes) return false;
  std::istringstream in(*bytes);
  std::string unusedReason;
  if (!ReadTargetText(in, target, unusedReason, PathToUtf8(path.stem()))) return false;
  target.path = path;
  target.factory = false;
  return true;
}

TargetChoice ChoiceOfKind(TargetKind kind, std::string name, const TargetChoice& values) {
  TargetChoice choice;
  choice.kind = kind;
  choice.name = std::move(name);
  choice.source = values.source;
  choice.curve = values.curve;
  choice.spread = values.spread;
  return choice;
}

}  // namespace

std::vector<TargetCurve> ListUserTargets() {
  std::vector<std::filesystem::path> paths;
  try {
    paths = ListFilesWithExtension(TargetsFolder(), kTargetExtension);
  } catch (const std::exception&) {
    return {};
  }
  std::vector<TargetCurve> targets;
  for (const auto& path : paths) {
    TargetCurve target;
    if (ReadUserTargetFile(path, target)) targets.push_back(std::move(target));
  }
  // By name in byte order; the path only makes the order of equal names repeatable.
  std::sort(targets.begin(), targets.end(), [](const TargetCurve& a, const TargetCurve& b) {
    if (a.name != b.name) return a.name < b.name;
    return a.path < b.path;
  });
  return targets;
}

std::filesystem::path TargetPathForName(std::string_view name) {
  return FileNameForName(TargetsFolder(), name, kTargetExtension, kTargetFallbackName);
}

namespace {

TargetSaveResult WriteUserTarget(const std::string& name, const std::filesystem::path& path, CurrentTarget& current) {
  try {
    const TargetChoice copy = current.Get();
    const std::string text = WriteTargetText(name, copy.source, copy.curve, copy.spread);
    // Only an absurdly long name or source gets here; such a file could
    // never be listed again.
    if (text.size() > kSmallFileLimit) return {TargetSaveOutcome::Failed, kTargetTooLargeReason};
    std::string reason;
    if (!WriteDocumentAtomically(path, text, reason)) return {TargetSaveOutcome::Failed, reason};
    current.Set(ChoiceOfKind(TargetKind::User, name, copy));
    return {TargetSaveOutcome::Saved, {}};
  } catch (const std::exception& error) {
    return {TargetSaveOutcome::Failed, error.what()};
  }
}

TargetDeleteResult RemoveUserTarget(CurrentTarget& current, const TargetChoice& copy) {
  for (const TargetCurve& target : ListUserTargets()) {
    if (target.name != copy.name) continue;
    std::string reason;
    if (!RemoveDocument(target.path, reason)) return {TargetDeleteOutcome::Failed, reason};
  }
  // A file that cannot be read stores no name this target could be found by:
  // it is left as it is, and the target is gone from the list all the same.
  // The idle loop keeps running while a question is open; if it installed
  // another target meanwhile, that one stays.
  const TargetChoice now = current.Get();
  if (now.kind == TargetKind::User && now.name == copy.name) {
    current.Set(ChoiceOfKind(TargetKind::Learned, copy.name, now));
  }
  return {TargetDeleteOutcome::Deleted, {}};
}

}  // namespace

void SaveUserTarget(const std::string& enteredName, CurrentTarget& current, const ConfirmTargetReplace& confirmReplace,
                    std::function<void(const TargetSaveResult&)> done) {
  const auto finish = [done](const TargetSaveResult& result) {
    if (done) done(result);
  };
  const std::string name = TrimSpacesAndTabs(enteredName);
  if (name.empty()) return finish({TargetSaveOutcome::EmptyName, {}});
  if (name == kBalancedTargetName) return finish({TargetSaveOutcome::ReservedName, {}});
  std::filesystem::path path;
  bool inTheWay = false;
  try {
    path = TargetPathForName(name);
    inTheWay = SomethingExistsAt(path);
  } catch (const std::exception& error) {
    return finish({TargetSaveOutcome::Failed, error.what()});
  }
  if (!inTheWay) return finish(WriteUserTarget(name, path, current));
  if (!confirmReplace) return finish({TargetSaveOutcome::Declined, {}});
  confirmReplace(name, [name, path, &current, finish](bool replace) {
    finish(replace ? WriteUserTarget(name, path, current) : TargetSaveResult{TargetSaveOutcome::Declined, {}});
  });
}

void DeleteUserTarget(CurrentTarget& current, const ConfirmTargetDelete& confirmDelete,
                      std::function<void(const TargetDeleteResult&)> done) {
  const auto finish = [done](const TargetDeleteResult& result) {
    if (done) done(result);
  };
  const TargetChoice copy = current.Get();
  if (copy.kind != TargetKind::User) return finish({TargetDeleteOutcome::NotUserTarget, {}});
  if (!confirmDelete) return finish({TargetDeleteOutcome::Declined, {}});
  confirmDelete(copy.name, [&current, copy, finish](bool yes) {
    finish(yes ? RemoveUserTarget(current, copy) : TargetDeleteResult{TargetDeleteOutcome::Declined, {}});
  });
}

}  // namespace ombrix
