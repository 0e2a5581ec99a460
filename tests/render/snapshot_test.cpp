// Captures, thumbnails and image export.
#include "render/snapshot.h"

#include <gtest/gtest.h>

#include <string>

#include "images/decode.h"
#include "images/scale.h"
#include "render/frame_scene.h"
#include "support/test_support.h"

namespace vorna {
namespace {

using test::FaceModel;
using test::Square;

TEST(MakeMotionThumbnailTest, StopsPlaybackTurnsToTheFrontAndShrinks) {
  auto model = FaceModel({Square(-0.5f, -0.5f, 0.5f, 0.5f)});
  ViewState view;
  view.playing = true;
  view.view_yaw = 90.0f;
  RenderContext context;
  ASSERT_TRUE(InitDevice(context, view, 128, 64));
  const Image thumbnail = MakeMotionThumbnail(context, *model, view);
  EXPECT_FALSE(view.playing);
  EXPECT_EQ(view.view_yaw, 0.0f);
  EXPECT_EQ(view.view_pitch, -1.0f);
  ASSERT_EQ(thumbnail.width, kThumbnailSide);
  ASSERT_EQ(thumbnail.height, kThumbnailSide);
  // The square just holds the face (64 pixels), so the face fills the thumbnail.
  EXPECT_EQ(test::ReferenceDifference(thumbnail, "thumbnail_of_a_square"), "");
  RenderContext none;
  EXPECT_TRUE(MakeMotionThumbnail(none, *model, view).empty());
  const Image cut = CaptureViewRegion(*context.device, -8, -8, 999, 999);  // to the back buffer
  EXPECT_EQ(cut.width * 1000 + cut.height, 128 * 1000 + 64);
  // A model larger than the view is shown whole.
  EXPECT_EQ(ThumbnailRegion(*FaceModel({Square(-9, -9, 9, 9)}),
                            context.device->GetTransform(TransformState::kProjection), 128, 64),
            (ViewRegion{0, 0, 128, 64}));
}

TEST(SaveViewImageTest, NamesGetTheFilterExtensionOnlyWithoutADot) {
  struct Case {
    std::string chosen;
    int filter;
    std::string path;
  };
  const Case cases[] = {
      {"pose", 4, "pose.png"},
      {"pose.bmp", 4, "pose.bmp"},
      {"/tmp/a/pose", 1, "/tmp/a/pose.bmp"},
      {"/tmp/v1.2/pose", 3, "/tmp/v1.2/pose.jpg"},
      {"pose", 5, "pose.tif"},
      {"", 4, ""},
      {"pose", 0, ""},
      {"pose", 6, ""},
  };
  for (const Case& k : cases) {
    EXPECT_EQ(ImageSavePath(k.chosen, k.filter), k.path) << k.chosen << " " << k.filter;
  }
  std::string labels;
  for (const ImageFormatRow* format : ImageExportFormats()) labels += format->dialog_label;
  EXPECT_EQ(labels,
            "BMPファイル (*.bmp)GIFファイル (*.gif)JPEGファイル (*.jpg)PNGファイル (*.png)"
            "TIFFファイル (*.tif)");
}

TEST(SaveViewImageTest, EncodesByTheFilterWhateverTheName) {
  test::TempDir dir;
  RenderContext context;
  ViewState view;
  ASSERT_TRUE(InitDevice(context, view, 40, 30));
  RenderFrame(context, *FaceModel({Square(-0.5f, -0.5f, 0.5f, 0.5f)}), view);
  // PNG by the filter, although the name says BMP; the pixels are the frame's. Each other filter's
  // encoder writes the reference drawings of the vorna-cli cases.
  const std::string png = dir.File("pose.bmp");
  ASSERT_TRUE(SaveViewImage(context, png, ImageExportFormatAt(4)->format));
  Image decoded;
  ASSERT_TRUE(DecodeImageFile(png, &decoded));
  EXPECT_EQ(test::ReadFile(png).substr(1, 3), "PNG");
  EXPECT_EQ(decoded.rgba, context.device->back_buffer().rgba);
  EXPECT_EQ(ImageExportFormatAt(6), nullptr);
  EXPECT_FALSE(SaveViewImage(context, "", ImageFormat::kPng));
  EXPECT_FALSE(SaveViewImage(context, dir.File("x.dds"), ImageFormat::kDds));  // never written
  EXPECT_FALSE(SaveViewImage(context, dir.File("missing/x.png"), ImageFormat::kPng));
  EXPECT_FALSE(SaveViewImage(RenderContext{}, dir.File("y.png"), ImageFormat::kPng));
}

}  // namespace
}  // namespace vorna
