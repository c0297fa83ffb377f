// Classification of found files by the extension of their name: the
// category lists behind the search filter, the "other" files, the icons,
// the recovery folders, the type tree and the hiding of damaged pictures.
// Content is never looked at here (that is the signature catalogue's job).
#pragma once

#include <string>
#include <string_view>

namespace mendwell {

extern const char* const kPictureList;
extern const char* const kAudioList;
extern const char* const kVideoList;
extern const char* const kDocumentList;
extern const char* const kArchiveList;
// Files that preview copies under their own name for an outside viewer.
extern const char* const kPreviewCopyList;

// The text after the last "." of a name, lower-cased (ASCII); empty when
// the name has no ".".
std::string ExtensionOfName(std::string_view name);

// Membership is a plain, case-sensitive substring search of the lower-case
// extension in the list text, so partial matches count: "ra" is in the
// picture list (inside "*.raf"), "jp" too (inside "*.jpg"). An empty
// extension is in no list.
bool ExtensionInList(std::string_view extension, std::string_view list);

// picture + "|" + audio + "|" + document + "|" + video + "|" + archive: an
// extension found here with a dot before it is known, any other is "other".
const std::string& KnownExtensionText();

// "photo", "audio", "video", "document", "archive" or "others", tested in
// that order.
std::string CategoryFolderOf(std::string_view fileName);

// Icon path for the file list: "FileIcon/" + folder.png, exe.png,
// image.png, music.png, doc.png, video.png, zip.png or default.png, with
// "_error" before ".png" for a damaged file (never for folders). The key is
// "folder", "file" (no extension) or the lower-case extension.
std::string FileIconOf(std::string_view key, bool intact);

// The search filter when the user chose no types: the picture, audio,
// video, document and archive lists joined by "|".
std::string DefaultTypeFilter();

// The key under which the type tree groups a file: "unknow" without an
// extension, else the lower-case extension with jpeg->jpg, tiff->tif,
// scr->pcx, midi->mid, m4p->m4a, docx->doc, xlsx->xls, pptx->ppt,
// htm->html.
std::string NormaliseExtension(std::string_view fileName);

// Whether a record with this name and intact flag is a damaged picture,
// which listings never show.
bool IsDamagedPicture(std::string_view fileName, bool intact);

}  // namespace mendwell
