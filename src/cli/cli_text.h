// The texts mendwell-cli shows, from the language files beside the
// executable, and the "--lang ID" option every command accepts.
#pragma once

#include <string>

namespace mendwell::cli {

// A text of the "Messages" section ("MSG0301") of the current language.
std::string Msg(const char* key);
// A text of the "Cli" section, the command line's own texts.
std::string CliText(const char* key);

// Takes "--lang ID" or "--lang=ID" out of argv (wherever it stands) and
// makes that language current for this run. Returns false, after printing
// why, when the option has no value or names no language file.
bool ApplyLanguageOption(int* argc, char** argv);

// printf to stderr of a one-line text followed by a newline.
void PrintError(const std::string& text);

}  // namespace mendwell::cli
