// Internal to the codec: the one place that knows how a template lays out its values. The walker
// pulls values from a Source (text, binary, or a built object's lists) in template order and
// pushes them to a Sink (an object being read, or a text or binary encoder), announcing the
// separators of the canonical text form and the structures whose size depends on the data.
//
// Source: bool ReadNumber(Primitive, double&); bool ReadString(std::string_view&);
//         bool CanHold(std::uint64_t numbers, std::uint64_t strings);
//         std::uint64_t MaxNumbers(); std::uint64_t Offset().
// Sink:   static constexpr bool kSeparators; bool Number(Primitive, double);
//         bool String(std::string_view); void Separator(char, SeparatorAt);
//         std::size_t BeginNode(); void EndNode(std::size_t); optionally
//         void Reserve(std::uint64_t numbers, std::uint64_t strings, std::uint64_t nodes).
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

#include "formats/xfile/diagnostics.h"
#include "formats/xfile/templates.h"

namespace vorna::xfile {

enum class SeparatorAt : std::uint8_t {
  kInside,      // inside a structure member of the object
  kMemberEnd,   // after one of the object's own members
  kElementEnd,  // between structures of one of the object's arrays
  kValueEnd,    // between primitive values of one of the object's arrays
};

template <class Source, class Sink>
class DataWalker {
 public:
  DataWalker(Source& source, Sink& sink, Diagnostics& diagnostics)
      : source_(source), sink_(sink), diagnostics_(diagnostics) {}

  // Reads the member data of one object of template `t`.
  bool Object(const Template& t) {
    std::size_t node = sink_.BeginNode();
    if (node == SIZE_MAX) return false;
    if (!Members(t, 0)) return false;
    sink_.EndNode(node);
    return true;
  }

 private:
  using Slots = std::array<std::uint32_t, TemplateSet::kMaxSlots>;

  static std::uint64_t Count(const TemplateMember& m, const Slots& slots) {
    std::uint64_t count = m.layout.literal_count;
    for (int slot : m.layout.dimension_slots) {
      if (slot < 0) continue;
      std::uint64_t d = slots[static_cast<std::size_t>(slot)];
      if (d == 0 || count == 0) return 0;
      count = count > UINT64_MAX / d ? UINT64_MAX : count * d;
    }
    return count;
  }

  bool Members(const Template& t, int depth) {
    Slots slots{};
    for (const TemplateMember& m : t.members) {
      if (!m.IsArray()) {
        if (!Item(m, depth, &slots)) return false;
        sink_.Separator(';', depth == 0 ? SeparatorAt::kMemberEnd : SeparatorAt::kInside);
        continue;
      }
      if (!Array(m, depth, slots)) return false;
    }
    return true;
  }

  bool Array(const TemplateMember& m, int depth, const Slots& slots) {
    const auto& ml = m.layout;
    std::uint64_t count = Count(m, slots);
    bool structured = m.type != nullptr;
    bool variable = structured && !m.type->layout.fixed && !ml.fixed;
    // Elements that hold no value at all (an empty template) need no reading.
    if (!variable && ml.element_numbers == 0 && ml.element_strings == 0) return true;
    // A variable-size element holds at least one number (the count that sizes it).
    std::uint64_t per_numbers = variable ? 1 : ml.element_numbers;
    std::uint64_t per_strings = variable ? 0 : ml.element_strings;
    if (!source_.CanHold(Scale(count, per_numbers), Scale(count, per_strings))) {
      return diagnostics_.Fail(ErrorKind::kBadData,
                               "array '" + m.name + "' of " + std::to_string(count) +
                                   " elements is larger than the rest of the data",
                               source_.Offset());
    }
    if constexpr (requires(Sink & s) { s.Reserve(count, count, count); }) {
      // Room for the whole array at once, so that a large mesh is not copied as it grows. An
      // element of variable size holds one number at least and usually a few (a triangle's count
      // and corners): room for four each, within what the rest of the data can hold.
      const std::uint64_t numbers =
          variable ? std::min(Scale(count, 4), source_.MaxNumbers()) : Scale(count, per_numbers);
      sink_.Reserve(numbers, Scale(count, per_strings), variable ? count + 1 : 0);
    }
    std::size_t node = SIZE_MAX;
    if (variable) {
      node = sink_.BeginNode();
      if (node == SIZE_MAX) return false;
    }
    SeparatorAt between = depth != 0   ? SeparatorAt::kInside
                          : structured ? SeparatorAt::kElementEnd
                                       : SeparatorAt::kValueEnd;
    SeparatorAt last = depth == 0 ? SeparatorAt::kMemberEnd : SeparatorAt::kInside;
    for (std::uint64_t i = 0; i < count; ++i) {
      // A mesh's arrays are most of a large file: asked every few thousand elements.
      if ((i & 4095) == 4095 && !diagnostics_.KeepGoing(source_.Offset())) return false;
      if (!Item(m, depth, nullptr)) return false;
      sink_.Separator(i + 1 < count ? ',' : ';', i + 1 < count ? between : last);
    }
    if (variable) sink_.EndNode(node);
    return true;
  }

  static std::uint64_t Scale(std::uint64_t count, std::uint64_t per) {
    if (count == 0 || per == 0) return 0;
    return count > UINT64_MAX / per ? UINT64_MAX : count * per;
  }

  // One value of member `m` (a single member, or one element of an array member). `slots` is
  // given for single members, which may size later arrays.
  bool Item(const TemplateMember& m, int depth, Slots* slots) {
    if (m.type == nullptr) return Primitive1(m.primitive, slots, m.layout.slot);
    const Template& t = *m.type;
    if (t.layout.fixed) {
      if constexpr (!Sink::kSeparators) {
        if (!t.layout.flat.empty()) {
          for (Primitive p : t.layout.flat) {
            if (!Primitive1(p, nullptr, -1)) return false;
          }
          return true;
        }
      }
      return Members(t, depth + 1);
    }
    std::size_t node = sink_.BeginNode();
    if (node == SIZE_MAX || !Members(t, depth + 1)) return false;
    sink_.EndNode(node);
    return true;
  }

  bool Primitive1(Primitive p, Slots* slots, int slot) {
    if (p == Primitive::kString) {
      std::string_view text;
      return source_.ReadString(text) && sink_.String(text);
    }
    double v = 0;
    if (!source_.ReadNumber(p, v)) return false;
    if (slots != nullptr && slot >= 0) {
      (*slots)[static_cast<std::size_t>(slot)] =
          v >= 0 && v <= 4294967295.0 ? static_cast<std::uint32_t>(v) : 0;
    }
    return sink_.Number(p, v);
  }

  Source& source_;
  Sink& sink_;
  Diagnostics& diagnostics_;
};

}  // namespace vorna::xfile
