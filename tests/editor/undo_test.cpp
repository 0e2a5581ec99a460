#include <gtest/gtest.h>

#include <functional>

#include "animation/anim_list.h"
#include "animation/freeze_pose.h"
#include "animation/keyframes.h"
#include "animation/motion_list.h"
#include "editor/commands.h"
#include "editor/open_flow.h"
#include "editor/undo_step.h"
#include "formats/registry.h"
#include "formats/vrn_text.h"
#include "model/bounds.h"
#include "model/hierarchy_edit.h"
#include "model/model_check.h"
#include "model/model_edits.h"
#include "support/test_support.h"

namespace vorna {
namespace {

// The writer clamps the Anim ranges into the Model it writes: it writes a copy, so that only the
// step changes the Model under test.
std::string SavedBytes(const Model& model, const test::TempDir& dir) {
  auto copy = std::make_unique<Model>(model);
  StderrHost host;
  const std::string path = dir.File("saved.vrn");
  EXPECT_TRUE(WriteVrnText(*copy, path, SaveOptions{}, host));
  return test::ReadFile(path);
}

struct Edit {
  int id;
  // What the step holds, within a factor of two: what changed, never a copy of the whole model,
  // and all of it counted against the history's memory cap.
  size_t bytes;
  std::function<void(Model&, Host&)> apply;
};

// Every undoable command's edit of the core, as the window runs it.
const Edit kEdits[] = {
    {kCmdSizePosition, 80000,
     [](Model& m, Host&) {
       ApplySizeAndPosition(m, {0.5f, 0, 0}, {2, 2, 2});
     }},
    {kCmdRotate, 60000,
     [](Model& m, Host&) {
       RotateModelVertices(m, 0, 90, 0);
       RotateModelUnits(m, 0, 90, 0);
     }},
    {kCmdDrawOrder, 3000, [](Model& m, Host&) { std::swap(m.draw_order[0], m.draw_order[3]); }},
    {kCmdKeyFrames, 60000,
     [](Model& m, Host& h) { GenerateKeyframes(m, h, KeyframeDialogDefaults(m, false)); }},
    {kCmdEditUnit, 60000,
     [](Model& m, Host&) {
       m.units[2].basis_position.x += 0.25f;
       m.motions[3].angle[1][1] = 0;  // the chest's y angle, now equal to its x angle
     }},
    {kCmdCopyUnit, 15000, [](Model& m, Host&) { CopyPose(m.motions[0], m.motions[3]); }},
    // One Part's mapping and the last vertex's: only the texture coordinates from that Part to
    // the end are held.
    {kCmdTextureColour, 4000,
     [](Model& m, Host&) {
       m.parts[5].material.diffuse.r = 0.125f;
       for (uint32_t v = m.parts[5].first_vertex; v < m.parts[6].first_vertex; ++v) {
         m.tex_u[v] = 0.5f;
       }
       m.tex_u.back() = 0.75f;
     }},
    {kCmdAddUnit, 60000, [](Model& m, Host& h) { AddUnit(m, h); }},
    {kCmdDeleteUnits, 100000,
     [](Model& m, Host&) {
       m.forest.Select(m.NodeOfUnit(3));
       DeleteTickedUnits(m);
     }},
    {kStepRenameNode, 20000, [](Model& m, Host&) { m.node_name[1] = "renamed"; }},
    {kStepDropNodes, 80000, [](Model& m, Host&) { DropTickedNodes(m, 0, m.NodeOfUnit(4)); }},
    {kCmdFlipCulling, 6000, [](Model& m, Host& h) { FlipCulling(m, h); }},
    {kCmdTriangulate, 6000, [](Model& m, Host& h) { ConvertToTriangles(m, h); }},
    {kCmdRecomputeNormals, 2000,
     [](Model& m, Host& h) {
       m.normals[7] = {1, 1, 1};
       RecomputeNormals(m, h);
     }},
    {kCmdRecomputeBounds, 3000,
     [](Model& m, Host&) {
       m.parts[1].center.x += 1;
       RecomputeBounds(m);
     }},
    {kCmdShiftFaces, 3000, [](Model& m, Host&) { ShiftFaceCorners(m); }},
    {kCmdAddMotion, 60000, [](Model& m, Host& h) { AddMotion(m, h); }},
    {kCmdDeleteMotion, 60000, [](Model& m, Host&) { DeleteCurrentMotion(m); }},
    {kCmdReorderMotions, 60000,
     [](Model& m, Host&) {
       const int order[] = {4, 3, 2, 1, 0};
       ApplyStripOrder(m, 5, order);
     }},
    {kCmdEditAnims, 1000,
     [](Model& m, Host& h) {
       EntryList entries = OpenAnimDialog(m);
       entries.entries.push_back(AnimEntryFromControls(1, 2, "kick", false));
       ApplyAnimDialog(m, h, entries);
     }},
    {kCmdFreezePose, 100000, [](Model& m, Host&) { FreezePose(m, 1); }},
};

TEST(UndoTest, EveryEditUndoesToTheSavedBytesAndRedoesToItsOwn) {
  test::TempDir dir;
  for (const Edit& edit : kEdits) {
    SCOPED_TRACE(edit.id);
    auto model = std::make_unique<Model>();
    ScriptedHost host;
    ASSERT_TRUE(Load(*model, VORNA_SOURCE_DIR "/samples/walker.vrn", host).ok);
    model->current_motion = 2;
    StepRecorder recorder(*model);
    const std::string before = SavedBytes(*model, dir);
    const auto parents = model->parent;  // not saved, but what each Part is drawn under

    ASSERT_FALSE(StepName(edit.id).empty());
    recorder.Begin(StepName(edit.id));
    edit.apply(*model, host);
    std::unique_ptr<ModelStep> step = recorder.End();
    ASSERT_NE(step, nullptr);
    EXPECT_EQ(step->name(), StepName(edit.id));
    EXPECT_LE(step->bytes(), edit.bytes * 2);
    EXPECT_GE(step->bytes(), edit.bytes / 2);
    const std::string after = SavedBytes(*model, dir);
    ASSERT_NE(after, before);
    EXPECT_TRUE(CheckModel(*model, nullptr));  // every edit leaves a model the reader accepts

    step->Swap(*model);
    EXPECT_EQ(SavedBytes(*model, dir), before);
    EXPECT_EQ(model->parent, parents);
    step->Swap(*model);
    EXPECT_EQ(SavedBytes(*model, dir), after);
    step->Swap(*model);
    EXPECT_EQ(SavedBytes(*model, dir), before);
  }
}

TEST(UndoTest, AnEditThatChangesNothingRecordsNoStepAndKeepsTheModifiedFlag) {
  auto model = std::make_unique<Model>();
  ScriptedHost host;
  ASSERT_TRUE(Load(*model, VORNA_SOURCE_DIR "/samples/walker.vrn", host).ok);
  StepRecorder recorder(*model);
  recorder.Begin("ユニットの編集");
  recorder.Begin("inner");  // a command run by a command joins its step
  // A dialog closed with OK after its edits were taken back: nothing to undo, nothing unsaved.
  model->node_name[0] += "x";
  model->node_name[0].pop_back();
  model->modified = 1;
  EXPECT_EQ(recorder.End(), nullptr);
  EXPECT_TRUE(recorder.recording());
  EXPECT_EQ(recorder.End(), nullptr);
  EXPECT_EQ(model->modified, 0);
}

}  // namespace
}  // namespace vorna
