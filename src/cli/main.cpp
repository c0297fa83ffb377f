// mendwell-cli: the headless front end of Mendwell.
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/cli_text.h"
#include "cli/commands.h"

namespace {

const char kUsage[] =
    "Mendwell: recover deleted files and files of formatted or damaged media.\n"
    "\n"
    "usage: mendwell-cli COMMAND [OPTIONS]\n"
    "\n"
    "Commands:\n"
    "  classify IMAGE               print the file system of an image file's first\n"
    "                               16 KiB: NTFS, FAT, EXT or OTHER\n"
    "  classify --disk N [--start SECTOR]\n"
    "                               the same for disk N (from sector SECTOR, 0 when\n"
    "                               not given)\n"
    "  scan --mode deleted MEDIUM [--json] [--type EXT,...] [--resume|--restart]\n"
    "                               scan a medium and list the files found, as a\n"
    "                               folder tree, or with --json one JSON object per\n"
    "                               line (path, name, size, folder, deleted, intact,\n"
    "                               engine, created, modified)\n"
    "  recover --mode deleted MEDIUM --to DIR [--type EXT,...] [--force]\n"
    "                               scan, then copy every file found (or those of the\n"
    "                               given types; \"other\" for files of no known type)\n"
    "                               into DIR/photo, DIR/audio, DIR/video,\n"
    "                               DIR/document, DIR/archive or DIR/others. A DIR on\n"
    "                               the medium itself is refused unless --force.\n"
    "  media [--json]               list the disks, their partitions and unallocated\n"
    "                               stretches as numbered rows (--json: one object\n"
    "                               per line)\n"
    "  image (--disk N | --row R) --out FILE [--scan]\n"
    "                               copy disk N, or row R of the media list, into\n"
    "                               the image file FILE (Ctrl-C stops and keeps the\n"
    "                               part copied so far)\n"
    "  lang [ID]                    list the languages, or make ID the default\n"
    "  help, --help                 show this text\n"
    "\n"
    "MEDIUM is an image file; --row R, a row of the media list; --disk N, every\n"
    "partition of disk N in turn; or --disk N --start SECTOR --count SECTORS, any\n"
    "stretch of disk N. Progress goes to stderr; Ctrl-C cancels (exit status\n"
    "130). When an earlier formatted or deep scan of the medium was interrupted,\n"
    "--resume continues it and --restart starts afresh (a terminal is asked).\n"
    "Every command accepts --lang ID to show its texts in language ID.\n"
    "\n"
    "Disks are numbered in the order of /sys/block; when MENDWELL_DISKS is set\n"
    "(image files separated by \":\"), disk N is its N-th file instead.\n"
    "Media are only ever read, never written.\n";

}  // namespace

int main(int argc, char** argv) {
  if (!mendwell::cli::ApplyLanguageOption(&argc, argv)) return 2;
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  std::string command = argv[1];
  if (command == "help" || command == "--help" || command == "-h") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (command == "classify") return mendwell::cli::ClassifyCommand(argc, argv, 2);
  if (command == "scan") return mendwell::cli::ScanCommand(argc, argv, 2);
  if (command == "recover") return mendwell::cli::RecoverCommand(argc, argv, 2);
  if (command == "media") return mendwell::cli::MediaCommand(argc, argv, 2);
  if (command == "image") return mendwell::cli::ImageCommand(argc, argv, 2);
  if (command == "lang") return mendwell::cli::LangCommand(argc, argv, 2);
  std::fprintf(stderr, "mendwell-cli: unknown command '%s' (see mendwell-cli --help)\n", command.c_str());
  return 2;
}
