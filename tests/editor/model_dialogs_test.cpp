#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "editor/draw_order_list.h"
#include "editor/rotate_dialog.h"
#include "editor/size_dialog.h"
#include "io/number_text.h"
#include "model/bounds.h"
#include "model/geometry_fixtures.h"
#include "model/hierarchy_edit.h"
#include "model/model_edits.h"

namespace vorna {
namespace {

// One Part per box given as (min, max) corners, named "part0", "part1", ...
std::unique_ptr<Model> BoxesModel(const std::vector<std::pair<Vec3, Vec3>>& boxes) {
  std::vector<test::PartMesh> meshes;
  for (const auto& [low, high] : boxes) meshes.push_back({{low, high}, {}});
  auto model = test::ModelOfParts(meshes);
  for (Vec3& n : model->normals) n = {0, 0, 1};
  RecomputeBounds(*model);
  return model;
}

TEST(NumberTextTest, FormatsAndReadsLikeTheCLibraryInTheCLocale) {
  EXPECT_EQ(FormatFixed6(1.0), "1.000000");
  EXPECT_EQ(FormatFixed6(-0.5), "-0.500000");
  EXPECT_EQ(FormatFixed6(-0.0), "0.000000");
  EXPECT_EQ(FormatFixed6(-0.0000004), "0.000000");
  EXPECT_EQ(FormatFixed6(-1e300 * 1e300), "-inf");
  EXPECT_EQ(FormatFixed6(0.4000000059604645), "0.400000");
  EXPECT_EQ(FormatFixed6(0.0078125), "0.007812");  // a tie rounds to even, as printf does
  EXPECT_EQ(FormatFixed6(1e20), "100000000000000000000.000000");
  EXPECT_EQ(FormatFixed(-1.5, 3), "-1.500");
  EXPECT_EQ(FormatFixed(0.125, 2), "0.12");
  EXPECT_EQ(FormatFixed(-std::nan(""), 3), "-nan");

  struct Whole {
    const char* text;
    int value;
  };
  for (const Whole& c : {Whole{"90", 90}, Whole{"  -45deg", -45}, Whole{"+7", 7}, Whole{"abc", 0},
                         Whole{"", 0}, Whole{"12.9", 12}, Whole{"99999999999", 2147483647},
                         Whole{"-99999999999", -2147483647 - 1}, Whole{"--3", 0}}) {
    EXPECT_EQ(ParseWholeNumber(c.text), c.value) << c.text;
  }
  // Where "%d" stops, for the line readers to go on from there.
  EXPECT_EQ(ScanWholeNumber(" -12 7").end, 4u);
  EXPECT_EQ(ScanWholeNumber(" - 12").end, 0u);
  // Command-line numbers: the whole text or nothing.
  struct Exact {
    const char* text;
    std::optional<int> value;
  };
  for (const Exact& c : {Exact{"64", 64}, Exact{"-3", -3}, Exact{"007", 7}, Exact{"", {}},
                         Exact{"+4", {}}, Exact{" 4", {}}, Exact{"4 ", {}}, Exact{"4x", {}},
                         Exact{"-", {}}, Exact{"99999999999", 2147483647}}) {
    EXPECT_EQ(ParseWholeNumberExactly(c.text), c.value) << c.text;
  }
  struct Decimal {
    const char* text;
    double value;
  };
  for (const Decimal& c :
       {Decimal{"0.25", 0.25}, Decimal{" -1.5e1x", -15.0}, Decimal{"+.5", 0.5}, Decimal{"x1", -1.0},
        Decimal{"", -1.0}, Decimal{"inf", -1.0}, Decimal{"nan", -1.0}, Decimal{"1e999", -1.0},
        Decimal{"--2", -1.0}, Decimal{"3,5", 3.0}}) {
    EXPECT_EQ(ParseDecimal(c.text, -1.0), c.value) << c.text;
  }
}

// The moves and the lines shown are the dialog monkey's record; a changed order is an unsaved edit.
TEST(DrawOrderListTest, OkMarksTheModelModifiedOnlyWhenTheOrderChanged) {
  auto model = BoxesModel({{{0, 0, 0}, {1, 1, 1}}, {{0, 0, 0}, {2, 2, 2}}});
  model->draw_order[0] = 1;
  model->draw_order[1] = 0;
  DrawOrderList list(*model);
  list.Ok(*model);
  EXPECT_EQ(model->modified, 0);
  list.Select(1);
  list.MoveUp();
  list.Ok(*model);
  EXPECT_EQ(model->draw_order[0], 0u);
  EXPECT_EQ(model->modified, 1);
}

TEST(SizeDialogTest, ProposesCentringAndFittingAndReadsTheTextsBack) {
  auto model = BoxesModel({{{0, 0, 0}, {2, 3, 1}}});
  const std::array<std::string, 6> texts = ProposedSizeTexts(*model);
  EXPECT_EQ(texts, (std::array<std::string, 6>{"0.400000", "0.400000", "0.400000", "-1.000000",
                                               "-1.500000", "-0.500000"}));
  const SizeAndPosition edit = ReadSizeTexts(texts);
  EXPECT_EQ(edit.move, (Vec3{-1, -1.5f, -0.5f}));
  EXPECT_EQ(edit.scale, (Vec3{0.4f, 0.4f, 0.4f}));

  // Scales that read as 0 (or as nothing usable) count as 1; moves that are no number as 0.
  const SizeAndPosition odd = ReadSizeTexts({"0", "abc", "nan", "x", "2.5", "inf"});
  EXPECT_EQ(odd.scale, (Vec3{1, 1, 1}));
  EXPECT_EQ(odd.move, (Vec3{0, 2.5f, 0}));
  // Beyond single precision a number would move the model to infinity, out of every view.
  const SizeAndPosition huge = ReadSizeTexts({"-4e38", "3e38", "2", "1e40", "-3e38", "-1e300"});
  EXPECT_EQ(huge.scale, (Vec3{1, 3e38f, 2}));
  EXPECT_EQ(huge.move, (Vec3{0, -3e38f, 0}));
}

TEST(SizeDialogTest, InformationTextShowsTheModelAfterTheEdit) {
  auto model = BoxesModel({{{0, 0, 0}, {2, 2, 2}}, {{-2, 0, 0}, {0, 4, 0}}});
  model->model_file_name = "robot.vrn";
  SizeAndPosition edit;
  edit.move = {1, 0, 0};
  edit.scale = {2, 1, 1};
  EXPECT_EQ(SizeDialogInformation(*model, edit),
            "[FILE NAME]\r\nrobot.vrn\r\n\r\n"
            "[TOTAL CENTER]\r\nx: 2.000000\r\ny: 2.000000\r\nz: 1.000000\r\n\r\n"
            "[TOTAL MIN]\r\nx: -2.000000\r\ny: 0.000000\r\nz: 0.000000\r\n\r\n"
            "[TOTAL MAX]\r\nx: 6.000000\r\ny: 4.000000\r\nz: 2.000000\r\n\r\n"
            "[CENTER]"
            "\r\n<part0>\r\nx: 4.000000\r\ny: 1.000000\r\nz: 1.000000\r\n"
            "\r\n<part1>\r\nx: 0.000000\r\ny: 2.000000\r\nz: 0.000000\r\n");
}

TEST(RotateDialogTest, StepsComposeInTheOrderTheyWereMade) {
  auto x_then_y = BoxesModel({{{0, 0, 0}, {1, 2, 3}}});
  auto y_then_x = BoxesModel({{{0, 0, 0}, {1, 2, 3}}});
  StderrHost host;
  ASSERT_TRUE(AddUnit(*x_then_y, host));
  x_then_y->units[0].basis_position = {1, 2, 3};
  auto session = RotateDialogSession::Open(*x_then_y);
  ASSERT_NE(session, nullptr);
  session->SetAngleText(0, "90");
  session->SetAngleText(1, "90");
  auto other = RotateDialogSession::Open(*y_then_x);
  other->SetAngleText(1, "90");
  other->SetAngleText(0, "90");
  // (1, 2, 3) turned 90 degrees about x, then about y, and the other way round.
  EXPECT_NEAR(x_then_y->positions[1].x, 2.0f, 1e-5f);
  EXPECT_NEAR(x_then_y->positions[1].z, -1.0f, 1e-5f);
  EXPECT_NEAR(y_then_x->positions[1].x, 3.0f, 1e-5f);
  EXPECT_NEAR(y_then_x->positions[1].z, 2.0f, 1e-5f);
  EXPECT_NEAR(x_then_y->total_corner_max.x, 2.0f, 1e-5f);          // the boxes follow every step
  EXPECT_NEAR(x_then_y->units[0].basis_position.z, -1.0f, 1e-5f);  // and so do the pivots
  // Cancel puts the boxes back with the vertices.
  other->Cancel();
  EXPECT_EQ(y_then_x->parts[0].corner_max, (Vec3{1, 2, 3}));
  EXPECT_EQ(y_then_x->positions[1], (Vec3{1, 2, 3}));
  // Going back step by step returns (up to rounding) to the start.
  session->SetAngleText(1, "0");
  session->SetAngleText(0, "not a number");
  EXPECT_EQ(session->angle(0), 0);
  EXPECT_NEAR(x_then_y->positions[1].y, 2.0f, 1e-5f);
  session->Ok();
  EXPECT_EQ(x_then_y->modified, 1);
}

}  // namespace
}  // namespace vorna
