#include "carving/file_classification.h"

#include <gtest/gtest.h>

namespace mendwell {
namespace {

TEST(FileClassification, CategoryFoldersFollowTheListOrder) {
  const struct {
    const char* name;
    const char* folder;
  } cases[] = {
      {"IMG.JPG", "photo"},    {"song.rm", "audio"},      // audio is tested before video
      {"clip.mkv", "video"},   {"notes.txt", "document"}, {"a.tar.GZ", "archive"},
      {"setup.exe", "others"}, {"README", "others"},       {"trailing.", "others"},
      {"x.ra", "photo"},       // "ra" is inside "*.raf": partial matches count
  };
  for (const auto& c : cases) EXPECT_EQ(CategoryFolderOf(c.name), c.folder) << c.name;
}

TEST(FileClassification, IconsAndErrorForms) {
  EXPECT_EQ(FileIconOf("pdf", false), "FileIcon/doc_error.png");
  EXPECT_EQ(FileIconOf("folder", false), "FileIcon/folder.png");
  EXPECT_EQ(FileIconOf("FOLDER", true), "FileIcon/folder.png");
  EXPECT_EQ(FileIconOf("ra", true), "FileIcon/image.png");
  EXPECT_EQ(FileIconOf("file", true), "FileIcon/default.png");
  EXPECT_EQ(FileIconOf("exe", false), "FileIcon/exe_error.png");
  EXPECT_EQ(FileIconOf("mp3", true), "FileIcon/music.png");
  EXPECT_EQ(FileIconOf("avi", true), "FileIcon/video.png");
  EXPECT_EQ(FileIconOf("7z", true), "FileIcon/zip.png");
}

TEST(FileClassification, NormalisedKeysAndDamagedPictures) {
  EXPECT_EQ(NormaliseExtension("photo.JPEG"), "jpg");
  EXPECT_EQ(NormaliseExtension("data"), "unknow");
  EXPECT_EQ(NormaliseExtension("report.docx"), "doc");
  EXPECT_EQ(NormaliseExtension("page.HTM"), "html");
  EXPECT_EQ(NormaliseExtension("x.png"), "png");
  EXPECT_TRUE(IsDamagedPicture("x.JPG", false));
  EXPECT_FALSE(IsDamagedPicture("x.jpg", true));
  EXPECT_FALSE(IsDamagedPicture("x.doc", false));
  EXPECT_FALSE(IsDamagedPicture("noext", false));
  std::string filter = DefaultTypeFilter();
  EXPECT_EQ(filter.rfind("*.bmp|", 0), 0u);
  EXPECT_NE(filter.find("*.thm|*.mp3"), std::string::npos);
  EXPECT_NE(filter.find("*.lrv|*.doc"), std::string::npos);
  EXPECT_NE(KnownExtensionText().find("*.snd|*.doc"), std::string::npos);
}

}  // namespace
}  // namespace mendwell
