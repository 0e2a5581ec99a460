#include "model/hierarchy_edit.h"

#include <gtest/gtest.h>

#include "geometry_fixtures.h"
#include "model/hierarchy.h"

namespace vorna {
namespace {

using test::Loaded;

// "U" + number without the temporary that trips a false -Wrestrict warning in GCC 12.
std::vector<int> Children(const Model& model, int node) { return model.forest.ChildrenOf(node); }

// P (node 0) under B (node 2) under A (node 1).
std::unique_ptr<Model> ChainModel() { return Loaded({"P"}, {"A", "B"}, {2, -1, 1}); }

TEST(DeleteUnitTest, DeletingATopUnitMovesItsSubtreeUpAndRenumbers) {
  auto model = ChainModel();
  model->units[1].basis_position = {1, 2, 3};
  model->units[1].tree_expanded = 2;
  model->units[1].blend_param = {2, 300, 1, 40};
  model->motions[0].angle[1][1] = 45;
  model->motions[0].translation[1] = {0, 0, 7};
  model->motions[0].scale[1] = {2, 2, 2};
  model->selected_unit = 1;
  DeleteUnitNode(*model, 1);
  // B is node 1 now, at the top level, P still under it.
  EXPECT_EQ(model->node_count, 2);
  EXPECT_EQ(model->node_name[1], "B");
  EXPECT_EQ(Children(*model, kTopLevel), std::vector<int>{1});
  EXPECT_EQ(Children(*model, 1), std::vector<int>{0});
  EXPECT_EQ(model->parent[0], 1);
  EXPECT_EQ(model->parent[1], -1);
  // B's record and Motion values moved with it, blend settings included.
  EXPECT_EQ(model->units[0].basis_position, (Vec3{1, 2, 3}));
  EXPECT_EQ(model->units[0].tree_expanded, 2u);
  EXPECT_EQ(model->units[0].blend_param, (std::array<int32_t, 4>{2, 300, 1, 40}));
  EXPECT_EQ(model->motions[0].angle[1][0], 45);
  EXPECT_EQ(model->motions[0].translation[0], (Vec3{0, 0, 7}));
  EXPECT_EQ(model->motions[0].scale[0], (Vec3{2, 2, 2}));
  EXPECT_EQ(model->units[1].basis_type, 0u);
  EXPECT_EQ(model->selected_unit, 0);  // follows B
  EXPECT_EQ(model->node_name[2], "");

  DeleteUnitNode(*model, 0);  // a Part: nothing happens
  DeleteUnitNode(*model, 9);  // no node
  EXPECT_EQ(model->node_count, 2);
}

TEST(DeleteUnitTest, CommandAsksOnceAndDeletesOnYes) {
  auto model = Loaded({"P", "Q"}, {"A", "B", "C"}, {3, -1, -1, 2, -1});
  ScriptedHost host;
  model->forest.Select(0);  // a Part selected and nothing ticked: nothing to ask
  EXPECT_FALSE(DeleteUnitsCommand(*model, host));
  EXPECT_TRUE(host.entries.empty());

  model->forest.at(4).ticked = true;
  EXPECT_FALSE(DeleteUnitsCommand(*model, host));  // answered No
  EXPECT_EQ(host.entries.size(), 1u);
  EXPECT_EQ(model->node_count, 5);

  // Yes: the ticked C and the selected A (B's parent) go; B moves up; ticks are cleared.
  model->forest.Select(2);
  host.QueueAnswer(Answer::kYes);
  model->forest.at(0).ticked = true;
  EXPECT_TRUE(DeleteUnitsCommand(*model, host));
  EXPECT_EQ(model->node_count, 3);
  EXPECT_EQ(model->node_name[2], "B");
  EXPECT_EQ(model->parent[0], 2);
  EXPECT_EQ(model->parent[1], -1);
  for (int n = 0; n < 3; ++n) EXPECT_FALSE(model->forest.at(n).ticked);
  EXPECT_EQ(model->forest.Selected(), kTopLevel);
  EXPECT_EQ(model->selected_unit, -1);
}

TEST(DeleteUnitTest, DeepTickedChainsGoDeepestFirst) {
  // A > B > C > P; ticking A and C leaves B at the top level holding P.
  auto model = Loaded({"P"}, {"A", "B", "C"}, {3, -1, 1, 2});
  model->forest.at(1).ticked = true;
  model->forest.at(3).ticked = true;
  DeleteTickedUnits(*model);
  EXPECT_EQ(model->node_count, 2);
  EXPECT_EQ(model->node_name[1], "B");
  EXPECT_EQ(model->parent[0], 1);
  EXPECT_EQ(model->parent[1], -1);

  // A full node table: the last name moves down and its slot is emptied, nothing read past it.
  std::vector<std::string> units;
  for (int u = 1; u < kMaxNodes; ++u) units.push_back(std::to_string(u));
  auto full = Loaded({"P"}, units, std::vector<int>(kMaxNodes, -1));
  DeleteUnitNode(*full, 1);
  EXPECT_EQ(full->node_count, kMaxNodes - 1);
  EXPECT_EQ(full->node_name[kMaxNodes - 2], units.back());
  EXPECT_EQ(full->node_name[kMaxNodes - 1], "");
}

TEST(DropTickedNodesTest, DropsReparentAndRefuseCycles) {
  // Units A (node 2) > B (node 3); Parts P (node 0) under B, Q (node 1) under A.
  auto model = Loaded({"P", "Q"}, {"A", "B"}, {3, 2, -1, 2});

  // A Part dropped on a Part becomes its sibling.
  DropTickedNodes(*model, 1, 0);
  EXPECT_EQ(model->parent[1], 3);
  EXPECT_EQ(Children(*model, 3), (std::vector<int>{0, 1}));
  EXPECT_EQ(model->forest.Selected(), 0);
  EXPECT_EQ(model->selected_unit, -1);

  // A Unit dropped on its own child stays; the other ticked node still moves.
  model->forest.at(0).ticked = true;
  DropTickedNodes(*model, 2, 3);
  EXPECT_EQ(model->parent[2], -1);
  EXPECT_EQ(model->parent[0], 3);
  EXPECT_EQ(model->units[1].tree_expanded, 2u);
  EXPECT_TRUE(model->forest.at(3).expanded);
  EXPECT_EQ(model->selected_unit, 1);
  EXPECT_TRUE(IsHighlighted(*model, 0));
  EXPECT_FALSE(IsHighlighted(*model, 3));

  model->node_name[0] = "Z";  // moving a Unit sorts every name list below it again
  DropTickedNodes(*model, 2, kTopLevel);
  EXPECT_EQ(Children(*model, 3), (std::vector<int>{1, 0}));

  // Units and Parts dropped together on nothing go to the top level with their subtrees.
  model->forest.at(3).ticked = true;
  model->forest.at(1).ticked = true;
  DropTickedNodes(*model, kTopLevel, kTopLevel);
  EXPECT_EQ(Children(*model, kTopLevel), (std::vector<int>{2, 3, 1}));  // A, B, Q by name
  EXPECT_EQ(Children(*model, 3), std::vector<int>{0});
  for (int n = 0; n < 4; ++n) EXPECT_FALSE(model->forest.at(n).ticked);

  // Nothing moves onto itself or onto a node that does not exist.
  const auto parents = model->parent;
  DropTickedNodes(*model, 2, 2);
  DropTickedNodes(*model, 3, 17);
  EXPECT_EQ(model->parent, parents);
  EXPECT_EQ(Children(*model, kTopLevel), (std::vector<int>{2, 3, 1}));
}

TEST(AddUnitTest, NamesAndPlacesUnitsInSequence) {
  auto model = test::NewModel();  // a model reset and never loaded
  ScriptedHost host;
  for (int i = 0; i < 8; ++i) ASSERT_TRUE(AddUnit(*model, host));
  EXPECT_EQ(model->node_count, 8);
  // Seven places along x, then the first again.
  EXPECT_EQ(model->node_name[6], "Unit_007");
  EXPECT_NEAR(model->units[6].basis_position.x, 0.20f, 1e-6f);
  EXPECT_NEAR(model->units[7].basis_position.x, -0.70f, 1e-6f);
  EXPECT_EQ(model->units[7].basis_position.y, 0.7f);
  EXPECT_EQ(model->selected_unit, 7);
  EXPECT_EQ(model->forest.Selected(), kTopLevel);

  // After Unit_002 goes, the name comes back; a Unit renamed by hand is skipped.
  model->forest.Select(1);
  DeleteTickedUnits(*model);
  model->node_name[0] = "Unit_009";
  ASSERT_TRUE(AddUnit(*model, host));
  EXPECT_EQ(model->node_name[7], "Unit_001");
  ASSERT_TRUE(AddUnit(*model, host));
  EXPECT_EQ(model->node_name[8], "Unit_002");
  ASSERT_TRUE(AddUnit(*model, host));
  EXPECT_EQ(model->node_name[9], "Unit_010");
  EXPECT_TRUE(host.entries.empty());
}

TEST(HierarchyEditTest, SelectionHighlightsWhatLiesBelow) {
  auto model = Loaded({"P", "Q"}, {"A", "B"}, {3, -1, -1, 2});
  model->forest.Select(2);
  UpdateSelectionState(*model);
  EXPECT_EQ(model->selected_unit, 0);
  EXPECT_FALSE(IsHighlighted(*model, 2));  // the Unit itself stays unmarked
  EXPECT_TRUE(IsHighlighted(*model, 3));
  EXPECT_TRUE(IsHighlighted(*model, 0));
  EXPECT_FALSE(IsHighlighted(*model, 1));
  model->forest.Select(1);
  UpdateSelectionState(*model);
  EXPECT_EQ(model->selected_unit, -1);
  EXPECT_TRUE(IsHighlighted(*model, 1));
  EXPECT_FALSE(IsHighlighted(*model, 0));
  model->selected_unit = 1;
  model->forest.Select(kTopLevel);
  UpdateSelectionState(*model);
  EXPECT_EQ(model->selected_unit, 1);  // kept without a selection
  EXPECT_FALSE(IsHighlighted(*model, 1));
  EXPECT_EQ(NodeOfItem(*model, 3), 3);
  EXPECT_EQ(NodeOfItem(*model, 4), -1);
  EXPECT_EQ(FindNodeByName(*model, "B"), 3);
  EXPECT_EQ(FindNodeByName(*model, "b"), -1);
}

TEST(HierarchyEditTest, GroupRootNodesHangsTheTopLevelUnderOneUnit) {
  // The loaded table names a Part as Q's parent; the forest keeps Q at the top level.
  auto model = Loaded({"P", "Q"}, {"A", "B"}, {3, 0, -1, 2});
  model->parent[1] = 0;
  model->units[2].blend_param = {1, 2, 3, 4};  // a stale slot
  ScriptedHost host;
  ASSERT_TRUE(GroupRootNodes(*model, host));
  EXPECT_EQ(model->node_count, 5);
  EXPECT_EQ(Children(*model, kTopLevel), std::vector<int>{4});
  EXPECT_EQ(Children(*model, 4), (std::vector<int>{2, 1}));  // A, Q
  EXPECT_EQ(model->parent[1], 4);
  EXPECT_EQ(model->parent[0], 3);
  const Unit& group = model->units[2];
  EXPECT_EQ(group.basis_type, 1u);
  EXPECT_EQ(group.axis_angle, (std::array<int32_t, 3>{0, 0, 90}));
  EXPECT_NEAR(group.axis.y, 1.0f, 1e-6f);
  EXPECT_EQ(group.basis_position, (Vec3{}));
  EXPECT_EQ(group.blend_param, (std::array<int32_t, 4>{}));

  model->node_count = 255;
  model->forest.at(3).ticked = true;
  EXPECT_FALSE(GroupRootNodes(*model, host));
  EXPECT_FALSE(model->forest.at(3).ticked);
}

}  // namespace
}  // namespace vorna
