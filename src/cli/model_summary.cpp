#include "cli/model_summary.h"

#include <algorithm>
#include <cassert>
#include <cstdio>

#include "cli/text_encoding.h"
#include "formats/json_writer.h"
#include "formats/registry.h"
#include "model/bounds.h"
#include "model/hierarchy.h"

namespace vorna {

namespace {

std::string Format(const char* format, auto... values) {
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, format, values...);
  return buffer;
}

std::string VectorText(Vec3 v) { return Format("(%g, %g, %g)", v.x, v.y, v.z); }

std::string NodeName(const Model& model, int node) { return DisplayText(model.node_name[node]); }

void AppendTree(const Model& model, int node, int depth, std::string& out) {
  const std::string indent(static_cast<size_t>(depth) * 2 + 2, ' ');
  if (model.IsUnitNode(node)) {
    const Unit& unit = model.units[model.UnitOfNode(node)];
    out += indent + "[unit] " + NodeName(model, node) +
           (unit.basis_type == 1 ? "  tilt axis " + VectorText(unit.axis) : "  XYZ axes") +
           "  pivot " + VectorText(unit.basis_position) + "\n";
  } else {
    out +=
        indent + "[part] " + NodeName(model, node) +
        Format("  %u vertices, %u faces", model.PartVertexCount(node), model.PartFaceCount(node)) +
        "\n";
  }
  for (int child : model.forest.ChildrenOf(node)) AppendTree(model, child, depth + 1, out);
}

}  // namespace

const char* FormatNameOf(const Model& model) {
  const FormatRow* row = RowOfLoaded(model.loaded_type, model.model_file_name);
  return row != nullptr ? row->name : "none";
}

std::string SummaryText(const Model& model, const std::string& path,
                        const SkeletonReport* skeleton) {
  std::string out;
  out += "File:     " + path + "\n";
  out += std::string("Format:   ") + FormatNameOf(model) + "\n";
  out += Format("Parts:    %d   Units: %d   Motions: %d   Anims: %d\n", model.parts_count,
                model.unit_count(), model.motion_count, model.anim_count);
  out += Format("Vertices: %d   Faces: %d (%s)\n", model.total_vertex_count, model.total_face_count,
                model.all_triangles ? "all triangles" : "triangles and quads");
  out += "Box:      " + VectorText(model.total_corner_min) + " to " +
         VectorText(model.total_corner_max) + ", centre " + VectorText(model.total_center) + "\n";
  out += Format("Size:     %g (largest extent / 1.2)\n", ModelSize(model));
  if (skeleton != nullptr) {
    out += Format(
        "Skeleton: weights of %.1f %% of the vertices outside their Unit and its parent; largest "
        "displacement %g at rest, %g over the Motions\n",
        100.0 * skeleton->unfitted_share, skeleton->rest_displacement, skeleton->pose_displacement);
  }
  out += "Tree:\n";
  for (int root : model.forest.ChildrenOf(kTopLevel)) AppendTree(model, root, 0, out);
  bool any_texture = false;
  for (int p = 0; p < model.parts_count; ++p) {
    const Part& part = model.parts[p];
    if (part.texture_file.empty()) continue;
    if (!any_texture) out += "Textures:\n";
    any_texture = true;
    out += "  " + NodeName(model, p) + ": " + DisplayText(part.texture_file) +
           (part.texture ? Format(" (%d x %d)", part.texture_rect[2], part.texture_rect[3])
                         : std::string(" (not loaded)")) +
           "\n";
  }
  if (model.anim_count > 0) out += "Anims:\n";
  assert(model.anim_count >= 0 && model.anim_count <= kMaxAnims);
  for (int a = 0; a < model.anim_count; ++a) {
    const Anim& anim = model.anims[a];
    out += Format("  %d to %d%s  ", anim.first_motion + 1, anim.last_motion + 1,
                  anim.loop ? " (loop)" : "") +
           DisplayText(anim.name) + "\n";
  }
  return out;
}

std::string SummaryJson(const Model& model, const SkeletonReport* skeleton) {
  JsonWriter j;
  j.BeginObject();
  j.Key("loaded_type").Int(model.loaded_type);
  j.Key("format").String(FormatNameOf(model));
  j.Key("parts_count").Int(model.parts_count);
  j.Key("node_count").Int(model.node_count);
  j.Key("unit_count").Int(model.unit_count());
  j.Key("motion_count").Int(model.motion_count);
  j.Key("anim_count").Int(model.anim_count);
  j.Key("total_vertex_count").Int(model.total_vertex_count);
  j.Key("total_face_count").Int(model.total_face_count);
  j.Key("all_triangles").Bool(model.all_triangles != 0);
  j.Key("total_corner_min").Vector(model.total_corner_min);
  j.Key("total_corner_max").Vector(model.total_corner_max);
  j.Key("total_center").Vector(model.total_center);
  j.Key("model_size").Number(ModelSize(model));
  auto parent_name = [&](int node) -> JsonWriter& {
    const int parent = model.forest.ParentOf(node);
    return parent == kTopLevel ? j.Null() : j.String(NodeName(model, parent));
  };
  j.Key("parts").BeginArray();
  for (int p = 0; p < model.parts_count; ++p) {
    const Part& part = model.parts[p];
    j.BeginObject();
    j.Key("name").String(NodeName(model, p));
    j.Key("vertex_count").Int(model.PartVertexCount(p));
    j.Key("face_count").Int(model.PartFaceCount(p));
    j.Key("parent");
    parent_name(p);
    j.Key("texture_file").String(DisplayText(part.texture_file));
    j.Key("texture_loaded").Bool(part.texture != nullptr);
    j.Key("texture_size").BeginArray().Int(part.texture_rect[2]).Int(part.texture_rect[3]);
    j.EndArray();
    j.EndObject();
  }
  j.EndArray();
  j.Key("units").BeginArray();
  for (int u = 0; u < model.unit_count(); ++u) {
    const Unit& unit = model.units[u];
    const int node = model.NodeOfUnit(u);
    j.BeginObject();
    j.Key("name").String(NodeName(model, node));
    j.Key("basis_type").Int(unit.basis_type);
    j.Key("parent");
    parent_name(node);
    j.Key("basis_position").Vector(unit.basis_position);
    j.Key("axis_angle").BeginArray();
    for (int32_t a : unit.axis_angle) j.Int(a);
    j.EndArray();
    j.Key("axis").Vector(unit.axis);
    j.Key("blend_param").BeginArray();
    for (int32_t b : unit.blend_param) j.Int(b);
    j.EndArray();
    j.EndObject();
  }
  j.EndArray();
  j.Key("save_order").BeginArray();
  for (int k = 0; k < model.unit_count(); ++k) j.Int(model.units[k].save_order);
  j.EndArray();
  j.Key("anims").BeginArray();
  assert(model.anim_count >= 0 && model.anim_count <= kMaxAnims);
  for (int a = 0; a < model.anim_count; ++a) {
    const Anim& anim = model.anims[a];
    j.BeginObject();
    j.Key("first_motion").Int(anim.first_motion);
    j.Key("last_motion").Int(anim.last_motion);
    j.Key("loop").Bool(anim.loop != 0);
    j.Key("name").String(DisplayText(anim.name));
    j.EndObject();
  }
  j.EndArray();
  j.Key("skeleton");
  if (skeleton == nullptr) {
    j.Null();
  } else {
    j.BeginObject();
    j.Key("unfitted_share").Number(skeleton->unfitted_share);
    j.Key("rest_displacement").Number(skeleton->rest_displacement);
    j.Key("pose_displacement").Number(skeleton->pose_displacement);
    j.Key("merged_joints").Int(skeleton->merged_joints);
    j.Key("renamed").Int(skeleton->renamed);
    j.Key("interval").Number(skeleton->interval);
    j.Key("coarser").Bool(skeleton->coarser);
    j.Key("notice").String(skeleton->notice);
    j.EndObject();
  }
  j.EndObject();
  return j.str() + "\n";
}

}  // namespace vorna
