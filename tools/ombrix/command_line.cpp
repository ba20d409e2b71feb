#include "tools/ombrix/command_line.h"

#include "tools/ombrix/command_error.h"

namespace ombrix::cli {

std::optional<std::string> ParsedArguments::Value(std::string_view name) const {
  const auto found = values_.find(std::string(name));
  if (found == values_.end() || found->second.empty()) return std::nullopt;
  return found->second.back();
}

std::vector<std::string> ParsedArguments::Values(std::string_view name) const {
  const auto found = values_.find(std::string(name));
  return found == values_.end() ? std::vector<std::string>{} : found->second;
}

namespace {

const OptionSpec* FindLong(const std::vector<OptionSpec>& options, std::string_view name) {
  for (const OptionSpec& option : options)
    if (option.name == name) return &option;
  return nullptr;
}

const OptionSpec* FindShort(const std::vector<OptionSpec>& options, char alias) {
  for (const OptionSpec& option : options)
    if (option.shortAlias != '\0' && option.shortAlias == alias) return &option;
  return nullptr;
}

}  // namespace

ParsedArguments ParseArguments(const std::vector<std::string>& arguments, const std::vector<OptionSpec>& options) {
  ParsedArguments parsed;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
      parsed.operands.push_back(argument);
      continue;
    }
    if (argument == "--") {
      optionsEnded = true;
      continue;
    }
    if (argument == "--help" || argument == "-h") {
      parsed.Add("help", "");
      continue;
    }

    const OptionSpec* spec = nullptr;
    std::optional<std::string> inlineValue;
    std::string shown;  // the option as the user wrote it, for messages
    if (argument.rfind("--", 0) == 0) {
      const std::size_t equals = argument.find('=');
      const std::string name = argument.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
      if (equals != std::string::npos) inlineValue = argument.substr(equals + 1);
      spec = FindLong(options, name);
      shown = "--" + name;
    } else if (argument.size() == 2) {
      spec = FindShort(options, argument[1]);
      shown = argument;
    }
    if (spec == nullptr) throw UsageError("unknown option " + (shown.empty() ? argument : shown));

    if (!spec->repeatable && parsed.Has(spec->name)) throw UsageError(shown + " is given more than once");
    if (!spec->takesValue) {
      if (inlineValue) throw UsageError(shown + " takes no value");
      parsed.Add(spec->name, "");
      continue;
    }
    if (!inlineValue) {
      if (i + 1 >= arguments.size()) throw UsageError(shown + " needs a value");
      inlineValue = arguments[++i];
    }
    parsed.Add(spec->name, *inlineValue);
  }
  return parsed;
}

}  // namespace ombrix::cli
