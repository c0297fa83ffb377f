// The commands of mendwell-cli. Each takes the arguments after its name and
// returns the process exit status.
#pragma once

namespace mendwell::cli {

int ClassifyCommand(int argc, char** argv, int first);
int ScanCommand(int argc, char** argv, int first);
int RecoverCommand(int argc, char** argv, int first);
int MediaCommand(int argc, char** argv, int first);
int ImageCommand(int argc, char** argv, int first);
int LangCommand(int argc, char** argv, int first);

}  // namespace mendwell::cli
