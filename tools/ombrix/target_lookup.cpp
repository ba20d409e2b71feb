#include "tools/ombrix/target_lookup.h"

#include <fstream>
#include <system_error>

#include "library/factory_targets.h"
#include "library/file_helpers.h"
#include "tools/ombrix/command_error.h"
#include "tools/ombrix/shown_path.h"

namespace ombrix::cli {

namespace {

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

bool LooksLikeFile(const std::string& text) {
  constexpr std::string_view kExtension = ".omtarget";
  if (text.size() >= kExtension.size() && Lower(text.substr(text.size() - kExtension.size())) == kExtension) return true;
  return text.find('/') != std::string::npos || text.find('\\') != std::string::npos;
}

TargetChoice ReadTargetFile(const std::string& file) {
  const std::filesystem::path path = ArgumentPath(file);
  RefuseFolder(path, file);
  std::error_code ignored;
  if (!std::filesystem::is_regular_file(path, ignored)) throw Failure("no target file " + file);
  std::ifstream in(path, std::ios::binary);
  TargetCurve target;
  std::string error;
  if (!ReadTargetText(in, target, error, PathToUtf8(path.stem()))) throw Failure(error);
  target.path = path;
  return UserChoice(target);
}

}  // namespace

TargetChoice ResolveTarget(const std::string& nameOrFile) {
  if (LooksLikeFile(nameOrFile)) return ReadTargetFile(nameOrFile);
  if (Lower(nameOrFile) == Lower(std::string(kBalancedTargetName))) return BalancedTarget();
  for (const TargetCurve& target : LoadFactoryTargets())
    if (Lower(target.name) == Lower(nameOrFile)) return FactoryChoice(target);
  throw UsageError("no target named \"" + nameOrFile + "\" (" + TargetNames() + ", or a .omtarget file)");
}

std::string TargetNames() {
  std::string names(kBalancedTargetName);
  for (const TargetCurve& target : LoadFactoryTargets()) names += ", " + target.name;
  return names;
}

}  // namespace ombrix::cli
