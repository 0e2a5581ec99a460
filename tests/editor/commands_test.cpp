#include "editor/commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "model/geometry_fixtures.h"

namespace vorna {
namespace {

// One Part (node 0) and one Unit (node 1) at the top level, with `motions` Motions.
std::unique_ptr<Model> SmallModel(int motions) {
  auto model = test::Loaded({"P"}, {"U"}, {-1, -1});
  model->motion_count = motions;
  return model;
}

TEST(CommandTable, IdsAreUniqueAndLabelsNameTheKeyThatWorks) {
  std::set<int> ids;
  for (const CommandInfo& command : CommandTable()) {
    EXPECT_TRUE(ids.insert(command.id).second) << command.id;
    // The speed submenu holds the playback speeds and nothing else.
    EXPECT_EQ(command.in_speed_submenu, command.id >= kCmdSpeed100 && command.id <= kCmdSpeed500)
        << command.id;
    const size_t tab = command.label.find('\t');
    if (tab == std::string_view::npos || command.key.empty()) continue;
    const std::string_view shown = command.label.substr(tab + 1);
    // Arrow keys are shown as arrows; every other key is shown as it is typed.
    const bool ascii =
        std::all_of(shown.begin(), shown.end(), [](char c) { return (c & 0x80) == 0; });
    if (ascii) {
      EXPECT_EQ(shown, command.key) << command.id;
    }
  }
}

TEST(MenuRules, EnablingFollowsModelMotionsAnimsAndSelection) {
  ViewState view;
  const MenuFacts loaded{true};

  auto empty = test::NewModel();
  for (const CommandInfo& command : CommandTable()) {
    const bool always = command.id == kCmdOpen || command.id == kCmdExit ||
                        command.id == kCmdHelp || command.id == kCmdAbout;
    EXPECT_EQ(CommandEnabled(*empty, view, MenuFacts{}, command.id), always) << command.id;
  }
  EXPECT_TRUE(MenuEnabled(*empty, view, MenuFacts{}, kMenuDirection));
  EXPECT_FALSE(MenuEnabled(*empty, view, MenuFacts{}, kMenuView));

  auto one = SmallModel(1);
  EXPECT_TRUE(CommandEnabled(*one, view, loaded, kCmdAddMotion));
  for (int id : {kCmdDeleteMotion, kCmdReorderMotions, kCmdPlayStop, kCmdSpeed100}) {
    EXPECT_FALSE(CommandEnabled(*one, view, loaded, id)) << id;
  }
  EXPECT_FALSE(MenuEnabled(*one, view, loaded, kMenuAnim));

  auto two = SmallModel(2);
  for (int id : {kCmdDeleteMotion, kCmdReorderMotions, kCmdPlayStop, kCmdSpeed500}) {
    EXPECT_TRUE(CommandEnabled(*two, view, loaded, id)) << id;
  }
  EXPECT_FALSE(CommandEnabled(*two, view, loaded, kCmdChooseAnim));
  two->anim_count = 1;
  EXPECT_TRUE(CommandEnabled(*two, view, loaded, kCmdChooseAnim));

  // Deleting units needs a selected or ticked Unit; a ticked Part does not count.
  EXPECT_FALSE(CommandEnabled(*two, view, loaded, kCmdDeleteUnits));
  two->forest.Select(0);
  EXPECT_FALSE(CommandEnabled(*two, view, loaded, kCmdDeleteUnits));
  two->forest.at(0).ticked = true;
  EXPECT_FALSE(CommandEnabled(*two, view, loaded, kCmdDeleteUnits));
  two->forest.at(1).ticked = true;
  EXPECT_TRUE(CommandEnabled(*two, view, loaded, kCmdDeleteUnits));
  two->forest.at(1).ticked = false;
  two->forest.Select(1);
  EXPECT_TRUE(CommandEnabled(*two, view, loaded, kCmdDeleteUnits));

  EXPECT_TRUE(CommandEnabled(*two, view, loaded, kCmdTriangulate));
  two->all_triangles = 1;
  EXPECT_FALSE(CommandEnabled(*two, view, loaded, kCmdTriangulate));

  // The unit dialog edits the selected Unit, the texture dialog the selected Part.
  EXPECT_TRUE(CommandEnabled(*two, view, loaded, kCmdEditUnit));
  EXPECT_FALSE(CommandEnabled(*two, view, loaded, kCmdTextureColour));
  two->forest.Select(0);
  EXPECT_FALSE(CommandEnabled(*two, view, loaded, kCmdEditUnit));
  EXPECT_TRUE(CommandEnabled(*two, view, loaded, kCmdTextureColour));
  for (int id : {kCmdSizePosition, kCmdRotate, kCmdDrawOrder, kCmdKeyFrames, kCmdCopyUnit}) {
    EXPECT_TRUE(CommandEnabled(*two, view, loaded, id)) << id;
  }
  EXPECT_TRUE(CommandEnabled(*two, view, loaded, kCmdMotionButton + 1));
  EXPECT_FALSE(CommandEnabled(*two, view, loaded, kCmdMotionButton + 2));
}

TEST(MenuRules, RadioGroupsMarkOneItem) {
  auto model = SmallModel(2);
  ViewState view;
  RenderContext render;
  const MenuFacts loaded{true};
  ApplyViewCommand(kCmdSpeed500, view, render);
  ApplyViewCommand(kCmdSpeed100, view, render);
  for (int id = kCmdSpeed100; id <= kCmdSpeed500; ++id) {
    EXPECT_EQ(CommandChecked(*model, view, loaded, id), id == kCmdSpeed100) << id;
  }
  for (int chosen = kCmdViewFront; chosen <= kCmdViewBottom; ++chosen) {
    EXPECT_TRUE(ApplyViewCommand(chosen, view, render).redraw);
    for (int id = kCmdViewFront; id <= kCmdViewBottom; ++id) {
      EXPECT_EQ(CommandChecked(*model, view, loaded, id), id == chosen) << chosen << " " << id;
    }
  }
  EXPECT_FALSE(CommandChecked(*model, view, MenuFacts{}, kCmdViewBottom));
}

TEST(ViewCommands, LooksExcludeEachOtherAndRestartOnlyARunningTimer) {
  ViewState view;
  RenderContext render;
  ApplyViewCommand(kCmdTextureLook, view, render);
  EXPECT_TRUE(view.texture_colour_on);
  const ViewCommandEffect alpha = ApplyViewCommand(kCmdSemiTransparent, view, render);
  EXPECT_TRUE(alpha.regenerate_thumbnail);
  EXPECT_EQ(view.part_alpha, 128);
  EXPECT_FALSE(view.texture_colour_on);
  ApplyViewCommand(kCmdTextureLook, view, render);
  EXPECT_EQ(view.part_alpha, 255);

  EXPECT_FALSE(ApplyViewCommand(kCmdSpeed300, view, render).restart_timer);
  view.playing = true;
  EXPECT_TRUE(ApplyViewCommand(kCmdSpeed200, view, render).restart_timer);
  EXPECT_EQ(view.play_period_ms, 200);
  EXPECT_FALSE(ApplyViewCommand(kCmdOpen, view, render).handled);
}

}  // namespace
}  // namespace vorna
