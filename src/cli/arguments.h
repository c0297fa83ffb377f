// A small command-line parser: positional words and "--name [value]"
// options, checked against the options a command declares.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace mendwell::cli {

struct OptionSpec {
  std::string name;  // without the leading "--"
  bool takesValue = false;
};

class Arguments {
 public:
  // Parses argv[first..]. On failure returns false and sets *error.
  bool Parse(int argc, char** argv, int first, const std::vector<OptionSpec>& specs, std::string* error);

  bool Has(const std::string& name) const { return flags_.count(name) || values_.count(name); }
  std::optional<std::string> Value(const std::string& name) const;
  const std::vector<std::string>& Positional() const { return positional_; }

 private:
  std::set<std::string> flags_;
  std::map<std::string, std::string> values_;
  std::vector<std::string> positional_;
};

// Parses a whole decimal number (no sign, no trailing text).
bool ParseUnsigned(const std::string& text, unsigned long long* value);

}  // namespace mendwell::cli
