#include "formats/xfile/templates.h"

#include <algorithm>

namespace vorna::xfile {
namespace {

constexpr std::uint64_t kSaturated = UINT64_MAX;

std::uint64_t SaturatingMul(std::uint64_t a, std::uint64_t b) {
  if (a == 0 || b == 0) return 0;
  return a > kSaturated / b ? kSaturated : a * b;
}

std::uint64_t SaturatingAdd(std::uint64_t a, std::uint64_t b) {
  return a > kSaturated - b ? kSaturated : a + b;
}

struct KeywordEntry {
  std::string_view word;
  Primitive primitive;
};

constexpr KeywordEntry kKeywords[] = {
    {"WORD", Primitive::kWord},       {"DWORD", Primitive::kDword},
    {"FLOAT", Primitive::kFloat},     {"DOUBLE", Primitive::kDouble},
    {"CHAR", Primitive::kChar},       {"UCHAR", Primitive::kUchar},
    {"SWORD", Primitive::kSword},     {"SDWORD", Primitive::kSdword},
    {"STRING", Primitive::kString},   {"UNICODE", Primitive::kUnicode},
    {"CSTRING", Primitive::kCstring}, {"VOID", Primitive::kVoid},
};

// Resolves member types and dimensions; returns the problem text, empty when usable.
std::string ResolveMembers(Template& t, const TemplateSet& set) {
  int slots = 0;
  for (std::size_t i = 0; i < t.members.size(); ++i) {
    TemplateMember& m = t.members[i];
    auto& ml = m.layout;
    if (m.primitive == Primitive::kNone) {
      m.type = set.Find(m.type_name);
      if (m.type == nullptr) return "member '" + m.name + "' has unknown type " + m.type_name;
      if (!m.type->layout.usable) return "member '" + m.name + "' has unusable type " + m.type_name;
    } else if (m.primitive == Primitive::kUnicode || m.primitive == Primitive::kCstring ||
               m.primitive == Primitive::kVoid) {
      return "member '" + m.name + "' has unsupported type " +
             std::string(PrimitiveKeyword(m.primitive));
    }
    for (const Dimension& d : m.dimensions) {
      if (d.member.empty()) {
        ml.literal_count = SaturatingMul(ml.literal_count, d.size);
        ml.dimension_slots.push_back(-1);
        continue;
      }
      int source = -1;
      for (std::size_t j = 0; j < i; ++j) {
        if (t.members[j].name == d.member) source = static_cast<int>(j);
      }
      if (source < 0) {
        for (std::size_t j = 0; j < i; ++j) {
          if (EqualsIgnoreCase(t.members[j].name, d.member)) source = static_cast<int>(j);
        }
      }
      if (source < 0) return "array '" + m.name + "' is sized by unknown member " + d.member;
      TemplateMember& holder = t.members[static_cast<std::size_t>(source)];
      if (holder.IsArray() || !IsIntegerPrimitive(holder.primitive)) {
        return "array '" + m.name + "' is sized by '" + d.member + "', not a single integer";
      }
      if (holder.layout.slot < 0) {
        if (slots == TemplateSet::kMaxSlots) return "too many array sizes in one template";
        holder.layout.slot = slots++;
      }
      ml.dimension_slots.push_back(holder.layout.slot);
      ml.dynamic = true;
    }
  }
  t.layout.slot_count = slots;
  return {};
}

void AppendFlat(const Template& t, std::vector<Primitive>& flat) {
  for (const TemplateMember& m : t.members) {
    for (std::uint64_t k = 0; k < m.layout.literal_count; ++k) {
      if (m.type == nullptr) {
        flat.push_back(m.primitive);
      } else {
        AppendFlat(*m.type, flat);
      }
    }
  }
}

void ComputeLayout(Template& t) {
  auto& tl = t.layout;
  tl.fixed = true;
  tl.depth = 1;
  for (TemplateMember& m : t.members) {
    auto& ml = m.layout;
    bool element_fixed = true;
    if (m.type != nullptr) {
      element_fixed = m.type->layout.fixed;
      ml.element_numbers = m.type->layout.fixed_numbers;
      ml.element_strings = m.type->layout.fixed_strings;
      tl.depth = std::max(tl.depth, m.type->layout.depth + 1);
    } else if (m.primitive == Primitive::kString) {
      ml.element_strings = 1;
    } else {
      ml.element_numbers = 1;
    }
    // An array sized zero by its literals holds nothing, whatever its element type.
    bool empty = !ml.dynamic && ml.literal_count == 0;
    ml.fixed = empty || (!ml.dynamic && element_fixed);
    if (ml.fixed) {
      tl.fixed_numbers =
          SaturatingAdd(tl.fixed_numbers, SaturatingMul(ml.literal_count, ml.element_numbers));
      tl.fixed_strings =
          SaturatingAdd(tl.fixed_strings, SaturatingMul(ml.literal_count, ml.element_strings));
    } else {
      tl.fixed = false;
    }
    if (!empty && !element_fixed) tl.nested_nodes = true;
  }
  if (!tl.fixed) {
    tl.fixed_numbers = 0;
    tl.fixed_strings = 0;
  } else if (tl.fixed_numbers + tl.fixed_strings <= TemplateSet::kMaxFlat) {
    AppendFlat(t, tl.flat);
  }
}

}  // namespace

bool IsIntegerPrimitive(Primitive p) {
  switch (p) {
    case Primitive::kWord:
    case Primitive::kDword:
    case Primitive::kChar:
    case Primitive::kUchar:
    case Primitive::kSword:
    case Primitive::kSdword:
      return true;
    default:
      return false;
  }
}

bool IsFloatPrimitive(Primitive p) { return p == Primitive::kFloat || p == Primitive::kDouble; }

std::string_view PrimitiveKeyword(Primitive p) {
  for (const KeywordEntry& k : kKeywords) {
    if (k.primitive == p) return k.word;
  }
  return {};
}

Primitive PrimitiveFromKeyword(std::string_view word) {
  for (const KeywordEntry& k : kKeywords) {
    if (EqualsIgnoreCase(k.word, word)) return k.primitive;
  }
  return Primitive::kNone;
}

std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

int Template::MemberIndex(std::string_view member) const {
  for (std::size_t i = 0; i < members.size(); ++i) {
    if (members[i].name == member) return static_cast<int>(i);
  }
  return -1;
}

const Template* TemplateSet::Add(Template declared) {
  auto owned = std::make_unique<Template>(std::move(declared));
  Template& t = *owned;
  t.layout = {};
  for (TemplateMember& m : t.members) m.layout = {};
  std::string problem = ResolveMembers(t, *this);
  if (problem.empty()) {
    ComputeLayout(t);
    if (t.layout.depth > kMaxDepth) problem = "templates nested too deeply";
  }
  t.layout.usable = problem.empty();
  t.layout.problem = std::move(problem);
  const Template* added = owned.get();
  owned_.push_back(std::move(owned));
  order_.push_back(added);
  by_name_[AsciiLower(added->name)] = added;
  if (!added->guid.IsNull()) by_guid_[added->guid] = added;
  return added;
}

const Template* TemplateSet::Find(std::string_view name) const {
  if (!by_name_.empty()) {
    auto it = by_name_.find(AsciiLower(name));
    if (it != by_name_.end()) return it->second;
  }
  return fallback_ != nullptr ? fallback_->Find(name) : nullptr;
}

const Template* TemplateSet::Find(const Guid& guid) const {
  auto it = by_guid_.find(guid);
  if (it != by_guid_.end()) return it->second;
  return fallback_ != nullptr ? fallback_->Find(guid) : nullptr;
}

}  // namespace vorna::xfile
