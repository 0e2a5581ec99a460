#include "editor/texture_file_choice.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "images/encode.h"
#include "model/geometry_fixtures.h"
#include "support/test_support.h"

namespace vorna {
namespace {

// A BMP file `width` pixels wide, so that tests can tell which file a texture came from.
void WriteBmp(const std::string& path, int width) {
  Image image;
  image.width = width;
  image.height = 2;
  image.rgba.assign(static_cast<size_t>(width) * 2 * 4, 0x80);
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(EncodeBmp(image, &bytes));
  test::WriteFile(path, std::string(bytes.begin(), bytes.end()));
}

std::unique_ptr<Model> OnePartModel(const std::string& dir) {
  auto model = test::ModelOfParts({{}});
  model->model_dir = dir;
  return model;
}

TEST(TextureFileChoiceTest, CopiesOnlyRegularFilesAndNeverOverAnExistingOne) {
  test::TempDir dir;
  test::WriteFile(dir.File("a"), "first");
  test::WriteFile(dir.File("b"), "second");
  EXPECT_EQ(CopyFileNoOverwrite(dir.File("a"), dir.File("c")), CopyResult::kCopied);
  EXPECT_EQ(test::ReadFile(dir.File("c")), "first");
  EXPECT_EQ(CopyFileNoOverwrite(dir.File("a"), dir.File("b")), CopyResult::kExists);
  EXPECT_EQ(test::ReadFile(dir.File("b")), "second");
  // The source itself under another spelling is not truncated.
  EXPECT_EQ(CopyFileNoOverwrite(dir.File("a"), dir.path() + "./a"), CopyResult::kExists);
  EXPECT_EQ(test::ReadFile(dir.File("a")), "first");

  // A pipe without a writer would block a plain read: it is refused at once.
  ASSERT_EQ(::mkfifo(dir.File("pipe").c_str(), 0600), 0);
  std::filesystem::create_directory(dir.File("sub"));
  for (const std::string& source : {dir.File("missing"), dir.File("sub"), dir.File("pipe")}) {
    EXPECT_EQ(CopyFileNoOverwrite(source, dir.File("d")), CopyResult::kFailed) << source;
    EXPECT_FALSE(std::filesystem::exists(dir.File("d"))) << source;
  }
}

TEST(TextureFileChoiceTest, AsksToCopyAnImageFromElsewhereAndLoadsFromTheModelDirectory) {
  struct Case {
    const char* what;
    bool outside;                   // the image lies outside the model's directory
    Answer answer;                  // to the copy question
    bool already_there;             // a 5-pixel-wide file of that name is in the model's directory
    int loaded_width;               // 0: untextured
    const char* dir_spelling = "";  // added to the model's directory
    const char* file = "skin.bmp";  // the chosen image's name
    const char* stored = "skin.bmp";  // the name the Part keeps
  };
  for (const Case& c : {
           Case{"inside", false, Answer::kNo, false, 3},
           Case{"inside, spelt another way", false, Answer::kNo, false, 3, "sub/./../"},
           Case{"copied", true, Answer::kYes, false, 3},
           Case{"not copied", true, Answer::kNo, false, 0},
           Case{"copy refused by the file there", true, Answer::kYes, true, 5},
           // Japanese names are stored as model files store them, and the file is still found.
           Case{"Japanese name", false, Answer::kNo, false, 3, "", "肌.bmp", "\x94\xA7.bmp"},
       }) {
    test::TempDir models;
    test::TempDir elsewhere;
    const std::string chosen = (c.outside ? elsewhere : models).File(c.file);
    WriteBmp(chosen, 3);
    if (c.already_there) WriteBmp(models.File(c.file), 5);
    std::filesystem::create_directory(models.File("sub"));
    auto model = OnePartModel(models.path() + c.dir_spelling);
    ScriptedHost host;
    host.QueueAnswer(c.answer);

    EXPECT_TRUE(UseTextureImage(*model, 0, chosen, host)) << c.what;
    EXPECT_EQ(model->parts[0].texture_file, c.stored) << c.what;
    EXPECT_EQ(host.entries.size(), c.outside ? 1u : 0u) << c.what;
    if (c.outside) {
      EXPECT_EQ(host.Texts()[0], kCopyTextureQuestion) << c.what;
    }
    const auto& texture = model->parts[0].texture;
    EXPECT_EQ(texture ? texture->width() : 0, c.loaded_width) << c.what;
    EXPECT_EQ(host.wait_depth, 0);
  }
}

TEST(TextureFileChoiceTest, RefusesNamesAPartCannotStore) {
  test::TempDir dir;
  auto model = OnePartModel(dir.path());
  model->parts[0].texture_file = "old.bmp";
  ScriptedHost host;
  const std::string too_long = dir.path() + std::string(kTextureFileSize, 'n');
  for (const auto& [part, chosen] :
       {std::pair{0, dir.path()}, std::pair{0, too_long}, std::pair{1, dir.File("a.bmp")},
        std::pair{-1, dir.File("a.bmp")}}) {
    EXPECT_FALSE(UseTextureImage(*model, part, chosen, host)) << part << " " << chosen;
  }
  EXPECT_EQ(model->parts[0].texture_file, "old.bmp");
  EXPECT_TRUE(host.entries.empty());
}

// A one-type filter adds its extension to a file name typed without one (a dot in a directory
// does not count); no choice, or no filter, is no path.
TEST(TextureFileChoiceTest, TheChosenFilterCompletesTheName) {
  std::vector<std::string> listed;
  for (const TextureImageFilter& filter : TextureImageFilters()) {
    listed.push_back(filter.filter_text + " " + filter.patterns);
  }
  EXPECT_EQ(listed,
            (std::vector<std::string>{"画像ファイル (*.bmp; *.dds; *.dib; *.jpg; *.png; *.tga) "
                                      "*.bmp;*.dds;*.dib;*.jpg;*.png;*.tga",
                                      "JPEGファイル (*.jpg) *.jpg", "PNGファイル (*.png) *.png",
                                      "BMPファイル (*.bmp) *.bmp", "DDSファイル (*.dds) *.dds",
                                      "すべてのファイル (*.*) *.*"}));
  const int last = static_cast<int>(listed.size());
  for (const auto& [chosen, filter, path] :
       {std::tuple{"/a.b/skin", 2, "/a.b/skin.jpg"}, std::tuple{"/a.b/skin.x", 2, "/a.b/skin.x"},
        std::tuple{"/a.b/skin", 1, "/a.b/skin"}, std::tuple{"/a.b/skin", last, "/a.b/skin"},
        std::tuple{"", 2, ""}, std::tuple{"/a.b/skin", 0, ""},
        std::tuple{"/a.b/skin", last + 1, ""}}) {
    EXPECT_EQ(TextureImagePath(chosen, filter), path) << chosen << " " << filter;
  }
}

}  // namespace
}  // namespace vorna
