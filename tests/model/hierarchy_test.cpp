#include "model/hierarchy.h"

#include <gtest/gtest.h>

#include "geometry_fixtures.h"

namespace vorna {
namespace {

// Parts P (node 0) and Q (node 1); Units A (node 2, top level) and B (node 3, child of A).
std::unique_ptr<Model> TwoUnitsTwoParts() {
  return test::Loaded({"P", "Q"}, {"A", "B"}, {3, -1, 0, 2});
}

TEST(HierarchyTest, BreadthFirstOrderOfALoadedModel) {
  auto model = TwoUnitsTwoParts();
  EXPECT_EQ(CollectDescendants(*model, kTopLevel), (std::vector<int>{2, 1, 3, 0}));
  EXPECT_EQ(CollectDescendants(*model, 2), (std::vector<int>{3, 0}));
  RefreshSaveOrder(*model);
  EXPECT_EQ(model->units[0].save_order, 0u);
  EXPECT_EQ(model->units[1].save_order, 1u);
  RecomputeParents(*model);
  EXPECT_EQ(model->parent, (std::array<int32_t, kMaxNodes>{3, -1, -1, 2}));
}

TEST(HierarchyTest, ParentRemapFollowsTheWrittenUnitOrder) {
  // Units stored as B (node 2), A (node 3), B a child of A: A is written first.
  auto model = TwoUnitsTwoParts();
  std::swap(model->node_name[2], model->node_name[3]);
  model->forest.Clear();
  model->forest.InsertAppended(3, kTopLevel);
  model->forest.InsertAppended(2, 3);
  model->forest.InsertSorted(0, 2, model->node_name);
  model->forest.InsertSorted(1, kTopLevel, model->node_name);
  RefreshSaveOrder(*model);
  EXPECT_EQ(model->units[0].save_order, 1u);
  EXPECT_EQ(model->units[1].save_order, 0u);
  EXPECT_EQ(ParentRemap(*model, 2), 2);  // B's parent A is at file position 0
  EXPECT_EQ(ParentRemap(*model, 3), 0);
  EXPECT_EQ(ParentRemap(*model, 0), 3);  // P's parent B is at file position 1
  EXPECT_EQ(ParentRemap(*model, 1), 0);
}

TEST(HierarchyTest, UnusableParentsPutNodesAtTheTopLevel) {
  // A parent that is a Part, the node itself, a later node, or outside the nodes.
  auto model = TwoUnitsTwoParts();
  model->node_count = 6;
  model->node_name[4] = std::string(1, 'C');
  model->node_name[5] = std::string(1, 'D');
  model->parent[2] = 1;    // a Part
  model->parent[3] = 3;    // itself
  model->parent[4] = 5;    // a later node
  model->parent[5] = 999;  // nowhere
  model->parent[0] = 77;
  model->units[1].tree_expanded = 2;  // B was left open
  BuildHierarchy(*model);
  EXPECT_EQ(model->forest.ChildrenOf(kTopLevel), (std::vector<int>{2, 3, 4, 5, 0, 1}));
  EXPECT_TRUE(model->forest.at(3).expanded && !model->forest.at(2).expanded);
  RefreshSaveOrder(*model);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(model->units[k].save_order, static_cast<uint32_t>(k));
}

}  // namespace
}  // namespace vorna
