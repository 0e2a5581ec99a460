// The object tree of an .x file: data objects typed by templates, with their member values,
// child objects and references. Readers fill a Document; writers encode one. Importers walk it
// by template name (or GUID) and read members through Value views, for example
//
//   for (const DataObject* mesh : document.FindAll("Mesh")) {
//     std::span<const double> xyz = (*mesh)["vertices"].Numbers();     // 3 per vertex
//     for (Value face : (*mesh)["faces"]) face["faceVertexIndices"].Numbers();
//   }
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "formats/xfile/errors.h"
#include "formats/xfile/guid.h"
#include "formats/xfile/templates.h"

namespace vorna::xfile {

enum class Encoding : std::uint8_t {
  kText,              // "txt "
  kBinary,            // "bin "
  kCompressedText,    // "tzip"
  kCompressedBinary,  // "bzip"
};

struct FileHeader {
  int major = 3;
  int minor = 3;
  Encoding encoding = Encoding::kText;
  int float_bits = 32;  // size of binary floats: 32 or 64
};

class DataObject;

// Where one member value (or a whole structure, or an array) lies inside its object. Cheap to
// copy; valid only while the Document lives. Views of missing members, of elements past the end
// and of objects without a layout (built ones, see DataObject) are invalid: their accessors
// return 0, empty strings and empty spans.
class Value {
 public:
  Value() = default;

  bool valid() const { return object_ != nullptr; }
  explicit operator bool() const { return valid(); }

  bool is_array() const { return array_; }
  // Elements of an array (all dimensions multiplied out); 1 for a single value; 0 if invalid.
  std::size_t size() const { return valid() ? (array_ ? count_ : 1) : 0; }
  // The template of a structure (or of an array's elements), or null for primitives.
  const Template* structure() const { return structure_; }
  Primitive primitive() const { return primitive_; }

  // A single number or string (for an array, its first element).
  double Number() const;
  float Float() const { return static_cast<float>(Number()); }
  // Integers as stored; negative values wrap, fractions are dropped, out-of-range numbers give 0.
  std::uint32_t Dword() const;
  std::int32_t Int() const { return static_cast<std::int32_t>(Dword()); }
  std::string_view String() const;

  // Every number of this member in file order: for an array of Vector, x y z per vertex; for an
  // array of MeshFace, the corner count followed by the indices, per face.
  std::span<const double> Numbers() const;

  // The member of a structure called `name` (exact spelling).
  Value operator[](std::string_view name) const;
  Value Member(std::string_view name) const { return (*this)[name]; }
  // Element `index` of an array. Constant time, except for arrays whose elements hold
  // variable-size structures of their own (none of the standard templates): iterate those.
  Value operator[](std::size_t index) const;
  Value Element(std::size_t index) const { return (*this)[index]; }

  class Iterator;
  Iterator begin() const;
  Iterator end() const;

 private:
  friend class DataObject;
  // The next element of the same array, given this one (used by iteration).
  Value NextElement() const;
  std::uint64_t NumberCount() const;
  std::uint64_t StringCount() const;

  const DataObject* object_ = nullptr;
  const Template* structure_ = nullptr;
  Primitive primitive_ = Primitive::kNone;
  bool array_ = false;
  std::uint64_t count_ = 0;      // elements, for arrays
  std::size_t numbers_ = 0;      // first number
  std::size_t strings_ = 0;      // first string
  std::size_t node_ = SIZE_MAX;  // the layout node of a variable-size structure or array
};

class Value::Iterator {
 public:
  using value_type = Value;
  using difference_type = std::ptrdiff_t;
  Iterator() = default;
  Value operator*() const { return current_; }
  Iterator& operator++();
  Iterator operator++(int) {
    Iterator before = *this;
    ++*this;
    return before;
  }
  bool operator==(const Iterator& other) const { return index_ == other.index_; }

 private:
  friend class Value;
  Iterator(const Value& array, std::size_t index);
  Value array_;
  Value current_;
  std::size_t index_ = 0;
};

// A child of a data object: a nested object it owns, or a reference to an object defined earlier
// in the file. A reference that matched nothing has no object and keeps the name and GUID it gave.
struct Child {
  const DataObject* object = nullptr;
  bool reference = false;
  std::string name;          // references: the name written in the file
  std::optional<Guid> guid;  // references: the GUID written in the file
};

// One data object. Its values are stored flat, in template order: every number (as double, exact
// for all integer types and for FLOAT) in one list, every string in another, plus a small layout
// index for variable-size structures, so that a mesh costs no allocation per vertex or face.
class DataObject {
 public:
  DataObject(const Template& type, std::string name) : type_(&type), name_(std::move(name)) {}
  DataObject(const DataObject&) = delete;
  DataObject& operator=(const DataObject&) = delete;

  const Template& type() const { return *type_; }
  const std::string& template_name() const { return type_->name; }
  // True when the template has this name (any letter case) or this GUID.
  bool IsA(std::string_view template_name) const;
  bool IsA(const Guid& template_guid) const;

  const std::string& name() const { return name_; }
  const std::optional<Guid>& guid() const { return guid_; }
  const DataObject* parent() const { return parent_; }
  // Where the object starts in the (decompressed) file; 0 for built objects.
  std::uint64_t offset() const { return offset_; }

  // The object's member data, as a structure of its template.
  Value data() const;
  Value operator[](std::string_view member) const { return data()[member]; }

  // Own children and references, in file order.
  const std::vector<Child>& children() const { return children_; }
  // Child objects and resolved references of a template (by name, any letter case), in order.
  std::vector<const DataObject*> Children(std::string_view template_name) const;
  const DataObject* FirstChild(std::string_view template_name) const;

  // The raw value lists, in template order.
  const std::vector<double>& numbers() const { return numbers_; }
  const std::vector<std::string>& strings() const { return strings_; }

  // Building an object for a writer: append the values in template order (the writer checks
  // them against the template). Built objects have no layout: their Values are invalid.
  void SetGuid(const Guid& guid) { guid_ = guid; }
  void AddNumber(double value) { numbers_.push_back(value); }
  void AddNumbers(std::span<const double> values);
  void AddNumbers(std::span<const float> values);
  void AddNumbers(std::span<const std::uint32_t> values);
  void AddString(std::string_view value) { strings_.emplace_back(value); }
  // A reference to `target`, which the writer must have written before this object.
  void AddReference(const DataObject& target);
  // A reference by name that this document does not resolve (it is written as given).
  void AddReference(std::string_view name);

 private:
  friend class Document;
  friend class Value;
  friend class ObjectBuilder;

  // A variable-size structure or array inside the object: where its values begin and end, and
  // the index just past the nodes nested in it.
  struct Node {
    std::uint32_t numbers_begin = 0;
    std::uint32_t strings_begin = 0;
    std::uint32_t numbers_end = 0;
    std::uint32_t strings_end = 0;
    std::uint32_t next = 0;
  };

  const Template* type_;
  std::string name_;
  std::optional<Guid> guid_;
  const DataObject* parent_ = nullptr;
  std::uint64_t offset_ = 0;
  std::vector<double> numbers_;
  std::vector<std::string> strings_;
  std::vector<Node> nodes_;  // empty when the object has no layout (built objects)
  std::vector<Child> children_;
};

class Document {
 public:
  Document();
  ~Document();
  Document(Document&&) noexcept;
  Document& operator=(Document&&) noexcept;

  const FileHeader& header() const { return header_; }
  void set_header(const FileHeader& header) { header_ = header; }

  // Templates declared in the file (or added by a writer), searched before the standard ones.
  TemplateSet& templates() { return *templates_; }
  const TemplateSet& templates() const { return *templates_; }
  const Template* FindTemplate(std::string_view name) const { return templates_->Find(name); }

  // Top-level objects in file order.
  const std::vector<DataObject*>& objects() const { return top_level_; }
  // Every object (nested ones too) of a template, by name in any letter case, in file order.
  std::vector<const DataObject*> FindAll(std::string_view template_name) const;
  // Every object whose template has this GUID, in file order.
  std::vector<const DataObject*> FindAll(const Guid& template_guid) const;
  // The object of this name (exact spelling) defined last, at any depth; null if none.
  const DataObject* FindObject(std::string_view name) const;

  // Oddities met while reading.
  const std::vector<Warning>& warnings() const { return warnings_; }
  void set_warnings(std::vector<Warning> warnings) { warnings_ = std::move(warnings); }

  // A new object of a template known to this document, appended to `parent`'s children or to
  // the top level. Null when the template is unknown or unusable.
  DataObject* AddObject(std::string_view template_name, std::string_view name = {},
                        DataObject* parent = nullptr);
  DataObject* AddObject(const Template& type, std::string_view name = {},
                        DataObject* parent = nullptr);

 private:
  friend class ObjectBuilder;

  FileHeader header_;
  std::unique_ptr<TemplateSet> templates_;
  std::unique_ptr<std::deque<DataObject>> storage_;  // every object, in the order created
  std::vector<DataObject*> top_level_;
  std::vector<Warning> warnings_;
};

}  // namespace vorna::xfile
