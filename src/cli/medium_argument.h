// The MEDIUM argument shared by the commands that read a medium: an image
// path, or --disk N --start S --count C for a partition (or any stretch) of
// a disk.
#pragma once

#include <string>
#include <vector>

#include "cli/arguments.h"
#include "engine/medium_row.h"

namespace mendwell::cli {

// The options a MEDIUM takes.
std::vector<OptionSpec> MediumOptions();

// Builds the row(s) to scan from the arguments; false with *error set when
// the arguments name no medium or a bad one.
bool ParseMedium(const Arguments& args, std::vector<MediumRow>* rows, std::string* error);

// A short description of a row for messages ("card.img", "disk 0 from
// sector 2048").
std::string DescribeRow(const MediumRow& row);

}  // namespace mendwell::cli
