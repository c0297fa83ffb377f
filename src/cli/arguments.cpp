#include "cli/arguments.h"

#include <cerrno>
#include <cstdlib>

#include "app/language_manager.h"
#include "cli/cli_text.h"

namespace mendwell::cli {

bool Arguments::Parse(int argc, char** argv, int first, const std::vector<OptionSpec>& specs, std::string* error) {
  for (int i = first; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg.size() > 2 && arg.rfind("--", 0) == 0) {
      std::string name = arg.substr(2);
      std::optional<std::string> inlineValue;
      size_t eq = name.find('=');
      if (eq != std::string::npos) {
        inlineValue = name.substr(eq + 1);
        name = name.substr(0, eq);
      }
      const OptionSpec* spec = nullptr;
      for (const OptionSpec& s : specs)
        if (s.name == name) spec = &s;
      if (!spec) {
        *error = FormatChecked(CliText("UnknownOption"), "s", name.c_str());
        return false;
      }
      if (spec->takesValue) {
        if (inlineValue) {
          values_[name] = *inlineValue;
        } else if (i + 1 < argc) {
          values_[name] = argv[++i];
        } else {
          *error = FormatChecked(CliText("OptionNeedsValue"), "s", name.c_str());
          return false;
        }
      } else {
        if (inlineValue) {
          *error = FormatChecked(CliText("OptionTakesNoValue"), "s", name.c_str());
          return false;
        }
        flags_.insert(name);
      }
    } else {
      positional_.push_back(arg);
    }
  }
  return true;
}

std::optional<std::string> Arguments::Value(const std::string& name) const {
  auto it = values_.find(name);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

bool ParseUnsigned(const std::string& text, unsigned long long* value) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
  errno = 0;
  char* end = nullptr;
  unsigned long long v = std::strtoull(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0') return false;
  *value = v;
  return true;
}

}  // namespace mendwell::cli
