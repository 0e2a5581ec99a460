// Template declarations: the type system of .x files. A template lists typed members (primitive
// values, other templates, arrays whose sizes are literals or earlier integer members) and says
// which child objects an instance may hold.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "formats/xfile/guid.h"

namespace vorna::xfile {

enum class Primitive : std::uint8_t {
  kWord,
  kDword,
  kFloat,
  kDouble,
  kChar,
  kUchar,
  kSword,
  kSdword,
  kString,
  kUnicode,  // declared by the format, carried by no file we know: templates using it are unusable
  kCstring,  // likewise
  kVoid,     // likewise
  kNone,     // not a primitive: the member's type is a template
};

bool IsIntegerPrimitive(Primitive p);
bool IsFloatPrimitive(Primitive p);
// The keyword that declares `p` in text ("DWORD", "STRING", ...).
std::string_view PrimitiveKeyword(Primitive p);
// The primitive a keyword names, case-insensitively ("dword" too); kNone for other words.
Primitive PrimitiveFromKeyword(std::string_view word);

struct Dimension {
  std::uint32_t size = 0;  // a literal size, used when `member` is empty
  std::string member;      // the name of an earlier integer member holding the size
};

class Template;

struct TemplateMember {
  std::string name;
  Primitive primitive = Primitive::kNone;
  std::string type_name;              // the member's template as declared (kNone members)
  const Template* type = nullptr;     // that template, resolved at registration
  std::vector<Dimension> dimensions;  // empty: one value; otherwise an array of their product

  bool IsArray() const { return !dimensions.empty(); }

  // Filled at registration.
  struct Layout {
    std::vector<int> dimension_slots;   // per dimension: slot of the member holding it, -1: literal
    int slot = -1;                      // this member holds a dimension of a later member
    std::uint64_t literal_count = 1;    // product of the literal dimensions (saturating)
    bool dynamic = false;               // some dimension is read from the data
    bool fixed = false;                 // the member's size never depends on the data
    std::uint64_t element_numbers = 0;  // numbers and strings per element (fixed element types)
    std::uint64_t element_strings = 0;
  } layout;
};

enum class Openness : std::uint8_t { kClosed, kOpen, kRestricted };

struct AllowedChild {
  std::string name;
  std::optional<Guid> guid;
};

class Template {
 public:
  std::string name;
  Guid guid;
  std::vector<TemplateMember> members;
  Openness openness = Openness::kClosed;
  std::vector<AllowedChild> allowed;  // kRestricted only

  // Index of the member called `member` (exact spelling), or -1.
  int MemberIndex(std::string_view member) const;

  // Filled at registration.
  struct Layout {
    bool usable = false;
    std::string problem;  // why the template is unusable
    bool fixed = false;   // every instance has the same numbers of values
    std::uint64_t fixed_numbers = 0;
    std::uint64_t fixed_strings = 0;
    std::vector<Primitive> flat;  // value types of one instance, for small fixed templates
    bool nested_nodes = false;    // instances hold variable-size structures of their own
    int depth = 1;                // nesting of templates inside (1: primitives only)
    int slot_count = 0;           // members that hold dimensions
  } layout;
};

// Where the templates an object may use come from: the ones a file (or a writer) declared, then
// the standard set. Names compare case-insensitively; a later declaration of a name replaces the
// earlier one for what follows (objects already read keep theirs).
class TemplateSet {
 public:
  static constexpr int kMaxDepth = 32;         // templates nested inside templates
  static constexpr int kMaxSlots = 16;         // members of one template used as dimensions
  static constexpr std::size_t kMaxFlat = 64;  // values of a fixed template kept as a flat list

  // `fallback` (may be null) is searched after this set's own templates and must outlive it.
  explicit TemplateSet(const TemplateSet* fallback = nullptr) : fallback_(fallback) {}
  TemplateSet(const TemplateSet&) = delete;
  TemplateSet& operator=(const TemplateSet&) = delete;
  TemplateSet(TemplateSet&&) = default;
  TemplateSet& operator=(TemplateSet&&) = default;

  // Resolves the member types and computes the layout. An unusable template (unknown member
  // type, unsupported primitive, bad dimension, too deep) is still registered, with its problem,
  // so that objects of it can be skipped with a clear warning.
  const Template* Add(Template declared);

  const Template* Find(std::string_view name) const;
  const Template* Find(const Guid& guid) const;
  // Templates added to this set (not the fallback's), in order.
  std::span<const Template* const> declared() const { return order_; }

 private:
  const TemplateSet* fallback_;
  std::vector<std::unique_ptr<Template>> owned_;
  std::vector<const Template*> order_;
  std::unordered_map<std::string, const Template*> by_name_;  // lower-case names
  std::unordered_map<Guid, const Template*, GuidHash> by_guid_;
};

// The built-in templates: the basic set every reader knows and the extension set (skinning,
// animation timing, vertex declarations). Immutable, built on first use.
const TemplateSet& StandardTemplates();

// Their declarations as text, in dependency order.
std::string_view StandardTemplateText();

// ASCII lower-case copy / case-insensitive equality, for template names.
std::string AsciiLower(std::string_view text);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace vorna::xfile
