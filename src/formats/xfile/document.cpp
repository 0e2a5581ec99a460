#include "formats/xfile/document.h"

#include <algorithm>
#include <array>

namespace vorna::xfile {
namespace {

// Converts without undefined behaviour: fractions are dropped, negative values wrap, values
// outside the 64-bit range give 0.
std::uint32_t WrapToUint32(double v) {
  if (!(v > -9.2e18 && v < 9.2e18)) return 0;
  return static_cast<std::uint32_t>(static_cast<std::int64_t>(v));
}

std::uint64_t SaturatingMul(std::uint64_t a, std::uint64_t b) {
  if (a == 0 || b == 0) return 0;
  return a > UINT64_MAX / b ? UINT64_MAX : a * b;
}

// Element count of an array member, given the values of the dimension-holding members.
std::uint64_t ArrayCount(const TemplateMember& m, const std::array<std::uint32_t, 16>& slots) {
  std::uint64_t count = m.layout.literal_count;
  for (int slot : m.layout.dimension_slots) {
    if (slot >= 0) count = SaturatingMul(count, slots[static_cast<std::size_t>(slot)]);
  }
  return count;
}

}  // namespace

// ---- Value ----

double Value::Number() const {
  if (!valid() || primitive_ == Primitive::kString || structure_ != nullptr) return 0;
  const auto& numbers = object_->numbers_;
  return numbers_ < numbers.size() && size() > 0 ? numbers[numbers_] : 0;
}

std::uint32_t Value::Dword() const { return WrapToUint32(Number()); }

std::string_view Value::String() const {
  if (!valid() || primitive_ != Primitive::kString) return {};
  const auto& strings = object_->strings_;
  return strings_ < strings.size() && size() > 0 ? std::string_view(strings[strings_])
                                                 : std::string_view();
}

std::uint64_t Value::NumberCount() const {
  if (!valid()) return 0;
  if (node_ != SIZE_MAX) {
    const auto& n = object_->nodes_[node_];
    return n.numbers_end >= numbers_ ? n.numbers_end - numbers_ : 0;
  }
  std::uint64_t per = structure_ != nullptr              ? structure_->layout.fixed_numbers
                      : primitive_ == Primitive::kString ? 0
                                                         : 1;
  return SaturatingMul(per, array_ ? count_ : 1);
}

std::uint64_t Value::StringCount() const {
  if (!valid()) return 0;
  if (node_ != SIZE_MAX) {
    const auto& n = object_->nodes_[node_];
    return n.strings_end >= strings_ ? n.strings_end - strings_ : 0;
  }
  std::uint64_t per = structure_ != nullptr              ? structure_->layout.fixed_strings
                      : primitive_ == Primitive::kString ? 1
                                                         : 0;
  return SaturatingMul(per, array_ ? count_ : 1);
}

std::span<const double> Value::Numbers() const {
  if (!valid()) return {};
  const auto& numbers = object_->numbers_;
  if (numbers_ >= numbers.size()) return {};
  std::uint64_t n = std::min<std::uint64_t>(NumberCount(), numbers.size() - numbers_);
  return {numbers.data() + numbers_, static_cast<std::size_t>(n)};
}

Value Value::operator[](std::string_view name) const {
  if (!valid() || array_ || structure_ == nullptr) return {};
  const Template& t = *structure_;
  int target = t.MemberIndex(name);
  if (target < 0) return {};
  const auto& numbers = object_->numbers_;
  const auto& nodes = object_->nodes_;
  std::array<std::uint32_t, 16> slots{};
  std::uint64_t n = numbers_;
  std::uint64_t s = strings_;
  std::size_t k = node_ != SIZE_MAX ? node_ + 1 : SIZE_MAX;
  auto take_node = [&]() -> bool {
    if (k >= nodes.size()) return false;
    n = nodes[k].numbers_end;
    s = nodes[k].strings_end;
    k = nodes[k].next;
    return true;
  };
  for (int j = 0; j < target; ++j) {
    const TemplateMember& m = t.members[static_cast<std::size_t>(j)];
    const auto& ml = m.layout;
    if (!m.IsArray() && m.type == nullptr) {
      if (m.primitive == Primitive::kString) {
        ++s;
      } else {
        if (ml.slot >= 0) {
          double size = n < numbers.size() ? numbers[n] : 0;
          slots[static_cast<std::size_t>(ml.slot)] =
              size >= 0 && size <= 4294967295.0 ? static_cast<std::uint32_t>(size) : 0;
        }
        ++n;
      }
    } else if (ml.fixed) {
      n += SaturatingMul(ml.literal_count, ml.element_numbers);
      s += SaturatingMul(ml.literal_count, ml.element_strings);
    } else if (m.type == nullptr || m.type->layout.fixed) {
      std::uint64_t count = ArrayCount(m, slots);
      n += SaturatingMul(count, ml.element_numbers);
      s += SaturatingMul(count, ml.element_strings);
    } else if (!take_node()) {
      return {};
    }
    if (n > numbers.size() || s > object_->strings_.size()) return {};
  }
  const TemplateMember& m = t.members[static_cast<std::size_t>(target)];
  Value v;
  v.object_ = object_;
  v.structure_ = m.type;
  v.primitive_ = m.primitive;
  v.array_ = m.IsArray();
  v.count_ = v.array_ ? ArrayCount(m, slots) : 1;
  v.numbers_ = static_cast<std::size_t>(n);
  v.strings_ = static_cast<std::size_t>(s);
  if (m.type != nullptr && !m.layout.fixed && !m.type->layout.fixed) {
    if (k >= nodes.size()) return {};
    v.node_ = k;
  }
  return v;
}

Value Value::operator[](std::size_t index) const {
  if (!valid() || !array_ || index >= count_) return {};
  Value v;
  v.object_ = object_;
  v.structure_ = structure_;
  v.primitive_ = primitive_;
  v.count_ = 1;
  if (node_ == SIZE_MAX) {
    std::uint64_t per_n = structure_ != nullptr              ? structure_->layout.fixed_numbers
                          : primitive_ == Primitive::kString ? 0
                                                             : 1;
    std::uint64_t per_s = structure_ != nullptr              ? structure_->layout.fixed_strings
                          : primitive_ == Primitive::kString ? 1
                                                             : 0;
    v.numbers_ = numbers_ + static_cast<std::size_t>(per_n * index);
    v.strings_ = strings_ + static_cast<std::size_t>(per_s * index);
    return v;
  }
  const auto& nodes = object_->nodes_;
  std::size_t e = node_ + 1;
  if (!structure_->layout.nested_nodes) {
    e += index;
  } else {
    for (std::size_t i = 0; i < index && e < nodes.size(); ++i) e = nodes[e].next;
  }
  if (e >= nodes.size()) return {};
  v.numbers_ = nodes[e].numbers_begin;
  v.strings_ = nodes[e].strings_begin;
  v.node_ = e;
  return v;
}

Value Value::NextElement() const {
  Value v = *this;
  if (node_ == SIZE_MAX) {
    v.numbers_ += static_cast<std::size_t>(NumberCount());
    v.strings_ += static_cast<std::size_t>(StringCount());
    return v;
  }
  const auto& nodes = object_->nodes_;
  std::size_t e = nodes[node_].next;
  if (e >= nodes.size()) return {};
  v.numbers_ = nodes[e].numbers_begin;
  v.strings_ = nodes[e].strings_begin;
  v.node_ = e;
  return v;
}

Value::Iterator::Iterator(const Value& array, std::size_t index) : array_(array), index_(index) {
  if (index_ < array_.size() && array_.is_array()) current_ = array_[std::size_t{0}];
}

Value::Iterator& Value::Iterator::operator++() {
  ++index_;
  if (index_ < array_.size()) {
    current_ = current_.valid() ? current_.NextElement() : Value();
  } else {
    current_ = Value();
  }
  return *this;
}

Value::Iterator Value::begin() const { return Iterator(*this, 0); }
Value::Iterator Value::end() const {
  return Iterator(*this, array_ ? static_cast<std::size_t>(size()) : 0);
}

// ---- DataObject ----

bool DataObject::IsA(std::string_view template_name) const {
  return EqualsIgnoreCase(type_->name, template_name);
}

bool DataObject::IsA(const Guid& template_guid) const { return type_->guid == template_guid; }

Value DataObject::data() const {
  if (nodes_.empty()) return {};
  Value v;
  v.object_ = this;
  v.structure_ = type_;
  v.count_ = 1;
  v.node_ = 0;
  return v;
}

std::vector<const DataObject*> DataObject::Children(std::string_view template_name) const {
  std::vector<const DataObject*> found;
  for (const Child& c : children_) {
    if (c.object != nullptr && c.object->IsA(template_name)) found.push_back(c.object);
  }
  return found;
}

const DataObject* DataObject::FirstChild(std::string_view template_name) const {
  for (const Child& c : children_) {
    if (c.object != nullptr && c.object->IsA(template_name)) return c.object;
  }
  return nullptr;
}

void DataObject::AddNumbers(std::span<const double> values) {
  numbers_.insert(numbers_.end(), values.begin(), values.end());
}

void DataObject::AddNumbers(std::span<const float> values) {
  numbers_.insert(numbers_.end(), values.begin(), values.end());
}

void DataObject::AddNumbers(std::span<const std::uint32_t> values) {
  numbers_.insert(numbers_.end(), values.begin(), values.end());
}

void DataObject::AddReference(const DataObject& target) {
  children_.push_back({&target, true, target.name(), target.guid()});
}

void DataObject::AddReference(std::string_view name) {
  children_.push_back({nullptr, true, std::string(name), std::nullopt});
}

// ---- Document ----

Document::Document()
    : templates_(std::make_unique<TemplateSet>(&StandardTemplates())),
      storage_(std::make_unique<std::deque<DataObject>>()) {}
Document::~Document() = default;
Document::Document(Document&&) noexcept = default;
Document& Document::operator=(Document&&) noexcept = default;

std::vector<const DataObject*> Document::FindAll(std::string_view template_name) const {
  std::vector<const DataObject*> found;
  for (const DataObject& o : *storage_) {
    if (o.IsA(template_name)) found.push_back(&o);
  }
  return found;
}

std::vector<const DataObject*> Document::FindAll(const Guid& template_guid) const {
  std::vector<const DataObject*> found;
  for (const DataObject& o : *storage_) {
    if (o.IsA(template_guid)) found.push_back(&o);
  }
  return found;
}

const DataObject* Document::FindObject(std::string_view name) const {
  for (auto it = storage_->rbegin(); it != storage_->rend(); ++it) {
    if (it->name() == name) return &*it;
  }
  return nullptr;
}

DataObject* Document::AddObject(std::string_view template_name, std::string_view name,
                                DataObject* parent) {
  const Template* t = templates_->Find(template_name);
  return t != nullptr ? AddObject(*t, name, parent) : nullptr;
}

DataObject* Document::AddObject(const Template& type, std::string_view name, DataObject* parent) {
  if (!type.layout.usable) return nullptr;
  DataObject& o = storage_->emplace_back(type, std::string(name));
  o.parent_ = parent;
  if (parent != nullptr) {
    parent->children_.push_back({&o, false, {}, std::nullopt});
  } else {
    top_level_.push_back(&o);
  }
  return &o;
}

}  // namespace vorna::xfile
