#include "carving/file_classification.h"

namespace mendwell {

const char* const kPictureList =
    "*.bmp|*.gif|*.jpg|*.jpeg|*.png|*.psd|*.tif|*.tiff|*.pcx|*.scr|*.ico|*.nef|*.nrw|*.crw|*.cr2|*.sr2|*.arw|"
    "*.srf|*.divu|*.pgm|*.k25|*.kdc|*.dcr|*.raf|*.iff|*.pbm|*.mef|*.jp2|*.mos|*.x3f|*.orf|*.erf|*.indd|*.pef|"
    "*.psp|*.mrw|*.dng|*.raw|*.pct|*.tga|*.thm";
const char* const kAudioList =
    "*.mp3|*.wav|*.ape|*.aiff|*.rps|*.mid|*.midi|*.m4a|*.m4p|*.au|*.ogg|*.wma|*.rm|*.ra|*.acd|*.amr|*.at3|*.caf|"
    "*.dss|*.m4r|*.nra|*.snd";
const char* const kVideoList =
    "*.rmvb|*.rm|*.mpeg|*.mov|*.avi|*.wmv|*.asf|*.mp4|*.flv|*.fla|*.swf|*.m4v|*.3gp|*.dv|*.3g2|*.m4b|*.mkv|*.mts|"
    "*.divx|*.ogm|*.moi|*.vob|*.ajp|*.f4v|*.mqv|*.svi|*.vid|*.tod|*.hdmov|*.mod|*.mxf|*.lrv";
const char* const kDocumentList =
    "*.doc|*.xls|*.ppt|*.odt|*.ods|*.pdf|*.docx|*.xlsx|*.pptx|*.ole|*.txt|*.xml|*.chm|*.htm|*.html|*.pst|*.dbx|"
    "*.wps|*.dps|*.et|*.one|*.mpp|*.mdb|*.accdb";
const char* const kArchiveList = "*.zip|*.rar|*.gzip|*.tar|*.7z|*.cab|*.arj|*.lzh|*.ace|*.gz|*.uue|*.bz2|*.jar|*.iso";
const char* const kPreviewCopyList =
    "*.pdf|*.doc|*.dot|*.docx|*.dotx|*.docm|*.dotm|*.rtf|*.odt|*.ppt|*.pptx|*.pptm|*.pps|*.ppsx|*.ppsm|*.odp|*.xls|"
    "*.xlsx|*.xlsm|*.csv|*.odc|*.vsd|*.vsdm|*.vsdx|*.pub|*.mpp|*.ics|*.vcf|*.msg|*.zip|*.rar|*.gzip|*.tar|*.7z|"
    "*.cab|*.arj|*.lzh|*.ace|*.gz|*.uue|*.bz2|*.jar|*.iso";

std::string ExtensionOfName(std::string_view name) {
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return {};
  std::string ext(name.substr(dot + 1));
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return ext;
}

bool ExtensionInList(std::string_view extension, std::string_view list) {
  return !extension.empty() && list.find(extension) != std::string_view::npos;
}

const std::string& KnownExtensionText() {
  static const std::string text = std::string(kPictureList) + "|" + kAudioList + "|" + kDocumentList + "|" +
                                  kVideoList + "|" + kArchiveList;
  return text;
}

std::string CategoryFolderOf(std::string_view fileName) {
  std::string ext = ExtensionOfName(fileName);
  if (ExtensionInList(ext, kPictureList)) return "photo";
  if (ExtensionInList(ext, kAudioList)) return "audio";
  if (ExtensionInList(ext, kVideoList)) return "video";
  if (ExtensionInList(ext, kDocumentList)) return "document";
  if (ExtensionInList(ext, kArchiveList)) return "archive";
  return "others";
}

std::string FileIconOf(std::string_view key, bool intact) {
  std::string lower(key);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if (lower == "folder") return "FileIcon/folder.png";
  const char* base = "default";
  if (lower == "exe")
    base = "exe";
  else if (ExtensionInList(lower, kPictureList))
    base = "image";
  else if (ExtensionInList(lower, kAudioList))
    base = "music";
  else if (ExtensionInList(lower, kDocumentList))
    base = "doc";
  else if (ExtensionInList(lower, kVideoList))
    base = "video";
  else if (ExtensionInList(lower, kArchiveList))
    base = "zip";
  return std::string("FileIcon/") + base + (intact ? ".png" : "_error.png");
}

std::string DefaultTypeFilter() {
  return std::string(kPictureList) + "|" + kAudioList + "|" + kVideoList + "|" + kDocumentList + "|" + kArchiveList;
}

std::string NormaliseExtension(std::string_view fileName) {
  if (fileName.find('.') == std::string_view::npos) return "unknow";
  std::string ext = ExtensionOfName(fileName);
  static const struct {
    const char* from;
    const char* to;
  } kGroups[] = {{"jpeg", "jpg"}, {"tiff", "tif"}, {"scr", "pcx"},  {"midi", "mid"}, {"m4p", "m4a"},
                 {"docx", "doc"}, {"xlsx", "xls"}, {"pptx", "ppt"}, {"htm", "html"}};
  for (const auto& g : kGroups)
    if (ext == g.from) return g.to;
  return ext;
}

bool IsDamagedPicture(std::string_view fileName, bool intact) {
  return !intact && ExtensionInList(ExtensionOfName(fileName), kPictureList);
}

}  // namespace mendwell
