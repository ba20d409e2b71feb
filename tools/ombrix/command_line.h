#pragma once
// Splitting a subcommand's arguments into options and operands.
//
// Options are "--name value", "--name=value" or, for a flag, "--name"; a
// one-letter alias ("-o") may stand for a long name. "--" ends the options.
// Anything else that starts with "-" (and is not "-" alone) is an unknown
// option. Problems are reported with UsageError.
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ombrix::cli {

struct OptionSpec {
  std::string_view name;      // without the leading "--"
  bool takesValue = false;
  bool repeatable = false;    // otherwise giving it twice is a usage error
  char shortAlias = '\0';     // "-o" for "--output", say
};

class ParsedArguments {
 public:
  std::vector<std::string> operands;

  bool Has(std::string_view name) const { return values_.count(std::string(name)) != 0; }
  // The value of a single-valued option, if given.
  std::optional<std::string> Value(std::string_view name) const;
  // Every value of a repeatable option, in the order given.
  std::vector<std::string> Values(std::string_view name) const;

  void Add(std::string_view name, std::string value) { values_[std::string(name)].push_back(std::move(value)); }

 private:
  std::map<std::string, std::vector<std::string>> values_;
};

// Throws UsageError for unknown options, missing values and repeated
// single options. "--help" and "-h" are always known flags.
ParsedArguments ParseArguments(const std::vector<std::string>& arguments, const std::vector<OptionSpec>& options);

}  // namespace ombrix::cli
