#include "formats/xfile/reader.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>
#include <unordered_map>
#include <vector>

#include "formats/xfile/binary_source.h"
#include "formats/xfile/data_walker.h"
#include "formats/xfile/diagnostics.h"
#include "formats/xfile/mszip.h"
#include "formats/xfile/text_source.h"
#include "formats/xfile/tokens.h"
#include "io/whole_file.h"

namespace vorna::xfile {

// The reader's access to the objects it fills.
class ObjectBuilder {
 public:
  static DataObject* Create(Document& document, const Template& type, std::string_view name,
                            DataObject* parent, std::uint64_t offset) {
    DataObject* o = document.AddObject(type, name, parent);
    if (o != nullptr) o->offset_ = offset;
    return o;
  }
  static void SetGuid(DataObject& o, const Guid& guid) { o.guid_ = guid; }
  static void AddChild(DataObject& o, Child child) { o.children_.push_back(std::move(child)); }

  // Stores an object's values as the walker reads them. Files are limited to 4 GiB, so every
  // position fits the nodes' 32 bits.
  class Sink {
   public:
    static constexpr bool kSeparators = false;
    explicit Sink(DataObject& o) : o_(o) {}
    bool Number(Primitive, double v) {
      o_.numbers_.push_back(v);
      return true;
    }
    bool String(std::string_view s) {
      o_.strings_.emplace_back(s);
      return true;
    }
    void Separator(char, SeparatorAt) {}
    // Called with counts the rest of the file was checked to hold. A little more than asked, so
    // that the count after one array (a mesh's nFaces after its vertices) does not move it all.
    void Reserve(std::uint64_t numbers, std::uint64_t strings, std::uint64_t nodes) {
      Grow(o_.numbers_, numbers);
      Grow(o_.strings_, strings);
      Grow(o_.nodes_, nodes);
    }
    std::size_t BeginNode() {
      DataObject::Node n;
      n.numbers_begin = static_cast<std::uint32_t>(o_.numbers_.size());
      n.strings_begin = static_cast<std::uint32_t>(o_.strings_.size());
      o_.nodes_.push_back(n);
      return o_.nodes_.size() - 1;
    }
    void EndNode(std::size_t index) {
      DataObject::Node& n = o_.nodes_[index];
      n.numbers_end = static_cast<std::uint32_t>(o_.numbers_.size());
      n.strings_end = static_cast<std::uint32_t>(o_.strings_.size());
      n.next = static_cast<std::uint32_t>(o_.nodes_.size());
    }

   private:
    template <class T>
    static void Grow(std::vector<T>& v, std::uint64_t more) {
      if (more <= v.capacity() - v.size()) return;
      // Doubling at least, as push_back would, for the many small arrays inside structures.
      v.reserve(std::max(v.size() + static_cast<std::size_t>(more) + 16, 2 * v.capacity()));
      AdviseHugePages(v.data() + v.size(), (v.capacity() - v.size()) * sizeof(T));
    }
    DataObject& o_;
  };
};

namespace {

constexpr std::size_t kHeaderSize = 16;

// The structure of a file (templates, objects, references) over either token source.
template <class Source>
class Parser {
 public:
  Parser(Source& source, Diagnostics& diagnostics, TemplateSet& templates, Document* document,
         const ReadOptions& options)
      : source_(source),
        diagnostics_(diagnostics),
        templates_(templates),
        document_(document),
        options_(options) {}

  bool File() {
    for (;;) {
      Token t;
      if (!source_.Next(t)) return false;
      switch (t.kind) {
        case TokenKind::kEnd:
          return true;
        case TokenKind::kTemplate:
          if (!ParseTemplate()) return false;
          break;
        case TokenKind::kName:
          if (!ParseObject(t, nullptr, 1)) return false;
          break;
        case TokenKind::kOBrace:
          if (!ParseReference(nullptr)) return false;
          break;
        case TokenKind::kComma:
        case TokenKind::kSemicolon:
          break;
        default:
          return Fail(ErrorKind::kSyntax,
                      "expected a template or a data object, found " + Describe(t), t.offset);
      }
    }
  }

 private:
  bool Fail(ErrorKind kind, std::string text, std::uint64_t offset) {
    return diagnostics_.Fail(kind, std::move(text), offset);
  }

  bool Expect(TokenKind kind, Token& t, const std::string& context) {
    if (!source_.Next(t)) return false;
    if (t.kind == kind) return true;
    Token wanted;
    wanted.kind = kind;
    return Fail(t.kind == TokenKind::kEnd ? ErrorKind::kTruncated : ErrorKind::kSyntax,
                "expected " + Describe(wanted) + " " + context + ", found " + Describe(t),
                t.offset);
  }

  bool ParseTemplate() {
    Token t;
    if (!source_.Next(t)) return false;
    if (!IsNameLike(t)) {
      return Fail(ErrorKind::kSyntax, "expected a template name, found " + Describe(t), t.offset);
    }
    Template declared;
    declared.name = std::string(t.text);
    const std::string context = "in template " + declared.name;
    if (!Expect(TokenKind::kOBrace, t, context)) return false;
    if (!source_.Peek(t)) return false;
    if (t.kind == TokenKind::kGuid) {
      source_.Next(t);
      declared.guid = t.guid;
    }
    for (bool open = true; open;) {
      if (!source_.Next(t)) return false;
      switch (t.kind) {
        case TokenKind::kCBrace:
          open = false;
          break;
        case TokenKind::kOBracket:
          if (!ParseRestriction(declared) || !Expect(TokenKind::kCBrace, t, context)) return false;
          open = false;
          break;
        case TokenKind::kComma:
        case TokenKind::kSemicolon:
          break;
        case TokenKind::kEnd:
          return Fail(ErrorKind::kTruncated, "template " + declared.name + " is not closed",
                      t.offset);
        default:
          if (!ParseMember(declared, t)) return false;
          break;
      }
    }
    const Template* added = templates_.Add(std::move(declared));
    if (!added->layout.usable) {
      diagnostics_.Warn("template " + added->name + " cannot be used: " + added->layout.problem,
                        t.offset);
    }
    return true;
  }

  bool ParseMember(Template& declared, Token t) {
    TemplateMember m;
    const bool array = t.kind == TokenKind::kArray;
    if (array && !source_.Next(t)) return false;
    if (t.kind == TokenKind::kPrimitive) {
      m.primitive = t.primitive;
    } else if (IsNameLike(t)) {
      m.type_name = std::string(t.text);
    } else {
      return Fail(ErrorKind::kSyntax,
                  "expected a member type in template " + declared.name + ", found " + Describe(t),
                  t.offset);
    }
    if (!source_.Peek(t)) return false;
    if (IsNameLike(t)) {
      source_.Next(t);
      m.name = std::string(t.text);
      if (!source_.Peek(t)) return false;
    }
    while (t.kind == TokenKind::kOBracket) {
      if (!array) {
        return Fail(ErrorKind::kSyntax, "member " + m.name + " has a size but is no array",
                    t.offset);
      }
      source_.Next(t);
      if (!source_.Next(t)) return false;
      Dimension d;
      if (t.kind == TokenKind::kInteger) {
        d.size = t.integer;
      } else if (IsNameLike(t) && t.kind != TokenKind::kNumber) {
        d.member = std::string(t.text);
      } else {
        return Fail(ErrorKind::kSyntax, "bad size of array " + m.name + ": " + Describe(t),
                    t.offset);
      }
      m.dimensions.push_back(std::move(d));
      if (!Expect(TokenKind::kCBracket, t, "after the size of array " + m.name)) return false;
      if (!source_.Peek(t)) return false;
    }
    if (array && m.dimensions.empty()) {
      return Fail(ErrorKind::kSyntax, "array " + m.name + " has no size", t.offset);
    }
    if (t.kind == TokenKind::kSemicolon) source_.Next(t);
    declared.members.push_back(std::move(m));
    return true;
  }

  bool ParseRestriction(Template& declared) {
    Token t;
    if (!source_.Next(t)) return false;
    if (t.kind == TokenKind::kDot || t.kind == TokenKind::kCBracket) {
      while (t.kind == TokenKind::kDot) {
        if (!source_.Next(t)) return false;
      }
      declared.openness = Openness::kOpen;
      if (t.kind == TokenKind::kCBracket) return true;
      return Fail(ErrorKind::kSyntax, "expected ']' in template " + declared.name, t.offset);
    }
    declared.openness = Openness::kRestricted;
    for (;;) {
      AllowedChild allowed;
      if (IsNameLike(t)) {
        allowed.name = std::string(t.text);
        if (!source_.Peek(t)) return false;
        if (t.kind == TokenKind::kGuid) source_.Next(t);
      }
      if (t.kind == TokenKind::kGuid) {
        allowed.guid = t.guid;
      } else if (allowed.name.empty()) {
        return Fail(ErrorKind::kSyntax,
                    "expected a template name in the restriction of " + declared.name + ", found " +
                        Describe(t),
                    t.offset);
      }
      declared.allowed.push_back(std::move(allowed));
      if (!source_.Next(t)) return false;
      if (t.kind == TokenKind::kCBracket) return true;
      if (t.kind != TokenKind::kComma) {
        return Fail(
            ErrorKind::kSyntax,
            "expected ',' or ']' in the restriction of " + declared.name + ", found " + Describe(t),
            t.offset);
      }
      if (!source_.Next(t)) return false;
    }
  }

  // Skips an object whose '{' was just read, by brace matching.
  bool SkipBlock(const std::string& what, std::uint64_t start) {
    int depth = 1;
    while (depth > 0) {
      Token t;
      if (!source_.Next(t) || !diagnostics_.KeepGoing(t.offset)) return false;
      if (t.kind == TokenKind::kOBrace) ++depth;
      if (t.kind == TokenKind::kCBrace) --depth;
      if (t.kind == TokenKind::kEnd) {
        return Fail(ErrorKind::kTruncated,
                    what + " at byte " + std::to_string(start) + " is not closed", t.offset);
      }
    }
    return true;
  }

  bool ParseObject(const Token& type, DataObject* parent, int depth) {
    if (!diagnostics_.KeepGoing(type.offset)) return false;
    if (depth > options_.max_depth) {
      return Fail(ErrorKind::kLimit,
                  "objects are nested more than " + std::to_string(options_.max_depth) + " deep",
                  type.offset);
    }
    const std::string type_name(type.text);
    Token t;
    if (!source_.Next(t)) return false;
    std::string_view name;
    if (IsNameLike(t)) {
      name = t.text;
      if (!source_.Next(t)) return false;
    }
    if (t.kind != TokenKind::kOBrace) {
      return Fail(t.kind == TokenKind::kEnd ? ErrorKind::kTruncated : ErrorKind::kSyntax,
                  "expected '{' after " + type_name + ", found " + Describe(t), t.offset);
    }
    const Template* tmpl = templates_.Find(type_name);
    if (tmpl == nullptr || !tmpl->layout.usable) {
      diagnostics_.Warn(
          (tmpl == nullptr ? "objects of unknown template " : "objects of unusable template ") +
              type_name + " skipped",
          type.offset);
      return SkipBlock(type_name, type.offset);
    }
    if (document_ == nullptr) {
      return Fail(ErrorKind::kSyntax, "a data object where only templates may be", type.offset);
    }
    DataObject* o = ObjectBuilder::Create(*document_, *tmpl, name, parent, type.offset);
    if (!source_.Peek(t)) return false;
    if (t.kind == TokenKind::kGuid) {
      source_.Next(t);
      ObjectBuilder::SetGuid(*o, t.guid);
    }
    ObjectBuilder::Sink sink(*o);
    DataWalker<Source, ObjectBuilder::Sink> walker(source_, sink, diagnostics_);
    if (!walker.Object(*tmpl)) return false;
    source_.EndData(tmpl->name);
    for (;;) {
      if (!source_.Next(t)) return false;
      switch (t.kind) {
        case TokenKind::kCBrace:
          Register(*o);
          return true;
        case TokenKind::kOBrace:
          if (!ParseReference(o)) return false;
          break;
        case TokenKind::kName:
        case TokenKind::kArray:
        case TokenKind::kPrimitive:
          if (!IsNameLike(t)) {
            return Fail(ErrorKind::kSyntax, "unexpected " + Describe(t) + " in " + type_name,
                        t.offset);
          }
          if (!ParseObject(t, o, depth + 1)) return false;
          break;
        case TokenKind::kComma:
        case TokenKind::kSemicolon:
          break;
        case TokenKind::kInteger:
        case TokenKind::kNumber:
        case TokenKind::kString:
        case TokenKind::kIntegerList:
        case TokenKind::kFloatList:
        case TokenKind::kGuid:
          diagnostics_.Warn("values after the data of a " + tmpl->name + " ignored", t.offset);
          break;
        case TokenKind::kEnd:
          return Fail(ErrorKind::kTruncated,
                      type_name + " at byte " + std::to_string(type.offset) + " is not closed",
                      t.offset);
        default:
          return Fail(ErrorKind::kSyntax, "unexpected " + Describe(t) + " in " + type_name,
                      t.offset);
      }
    }
  }

  // A reference whose '{' was just read: { name }, { <GUID> } or { name <GUID> }.
  bool ParseReference(DataObject* parent) {
    Token t;
    if (!source_.Next(t)) return false;
    const std::uint64_t offset = t.offset;
    std::string_view name;
    std::optional<Guid> guid;
    if (IsNameLike(t)) {
      name = t.text;
      if (!source_.Next(t)) return false;
    }
    if (t.kind == TokenKind::kGuid) {
      guid = t.guid;
      if (!source_.Next(t)) return false;
    }
    if (t.kind != TokenKind::kCBrace) {
      return Fail(t.kind == TokenKind::kEnd ? ErrorKind::kTruncated : ErrorKind::kSyntax,
                  "expected '}' to close a reference, found " + Describe(t), t.offset);
    }
    if (name.empty() && !guid) {
      diagnostics_.Warn("an empty reference was ignored", offset);
      return true;
    }
    if (parent == nullptr) {
      diagnostics_.Warn("a reference outside any object was ignored", offset);
      return true;
    }
    const DataObject* target = Resolve(name, guid);
    if (target == nullptr) {
      diagnostics_.Warn("reference to " + (name.empty() ? guid->ToString() : std::string(name)) +
                            ", which is not defined before it",
                        offset);
    }
    ObjectBuilder::AddChild(*parent, {target, true, std::string(name), guid});
    return true;
  }

  // Only objects already complete can be referenced: a reference never reaches the object that
  // holds it or one of its ancestors, so the references form no cycle.
  void Register(const DataObject& o) {
    if (!o.name().empty()) {
      by_name_[o.name()] = &o;
      by_lower_name_[AsciiLower(o.name())] = &o;
    }
    if (o.guid()) by_guid_[*o.guid()] = &o;
  }

  const DataObject* Resolve(std::string_view name, const std::optional<Guid>& guid) const {
    if (guid) {
      auto it = by_guid_.find(*guid);
      if (it != by_guid_.end()) return it->second;
    }
    if (name.empty()) return nullptr;
    if (auto it = by_name_.find(std::string(name)); it != by_name_.end()) return it->second;
    // Files written on case-insensitive systems do not always spell names the same way.
    if (auto it = by_lower_name_.find(AsciiLower(name)); it != by_lower_name_.end()) {
      return it->second;
    }
    return nullptr;
  }

  Source& source_;
  Diagnostics& diagnostics_;
  TemplateSet& templates_;
  Document* document_;
  const ReadOptions& options_;
  std::unordered_map<std::string, const DataObject*> by_name_;
  std::unordered_map<std::string, const DataObject*> by_lower_name_;
  std::unordered_map<Guid, const DataObject*, GuidHash> by_guid_;
};

std::string Printable(const std::uint8_t* bytes, std::size_t n) {
  std::string s;
  for (std::size_t i = 0; i < n; ++i) {
    char c = static_cast<char>(bytes[i]);
    s.push_back(c >= 0x20 && c < 0x7F ? c : '?');
  }
  return s;
}

bool ParseHeader(std::span<const std::uint8_t> file, FileHeader& header, Diagnostics& d) {
  if (file.size() < kHeaderSize) {
    return d.Fail(ErrorKind::kNotThisFormat, "the file is shorter than the 16-byte .x header", 0);
  }
  const std::uint8_t* h = file.data();
  if (std::memcmp(h, "xof ", 4) != 0) {
    return d.Fail(ErrorKind::kNotThisFormat, "the file does not start with \"xof \"", 0);
  }
  for (int i = 4; i < 8; ++i) {
    if (h[i] < '0' || h[i] > '9') {
      return d.Fail(ErrorKind::kNotThisFormat, "bad version \"" + Printable(h + 4, 4) + "\"", 4);
    }
  }
  header.major = (h[4] - '0') * 10 + (h[5] - '0');
  header.minor = (h[6] - '0') * 10 + (h[7] - '0');
  if (header.major != 3 || (header.minor != 2 && header.minor != 3)) {
    d.Warn("version " + Printable(h + 4, 4) + " read like 0303", 4);
  }
  const std::string_view format(reinterpret_cast<const char*>(h + 8), 4);
  if (format == "txt ") {
    header.encoding = Encoding::kText;
  } else if (format == "bin ") {
    header.encoding = Encoding::kBinary;
  } else if (format == "tzip") {
    header.encoding = Encoding::kCompressedText;
  } else if (format == "bzip") {
    header.encoding = Encoding::kCompressedBinary;
  } else {
    return d.Fail(ErrorKind::kUnsupported,
                  "encoding \"" + Printable(h + 8, 4) + "\" is not supported", 8);
  }
  const std::string_view float_size(reinterpret_cast<const char*>(h + 12), 4);
  const bool binary =
      header.encoding == Encoding::kBinary || header.encoding == Encoding::kCompressedBinary;
  if (float_size == "0032") {
    header.float_bits = 32;
  } else if (float_size == "0064") {
    header.float_bits = 64;
  } else if (binary) {
    return d.Fail(ErrorKind::kUnsupported,
                  "float size \"" + Printable(h + 12, 4) + "\" is neither 0032 nor 0064", 12);
  } else {
    // Text numbers are decimal whatever the header says.
    d.Warn("float size " + Printable(h + 12, 4) + " ignored in a text file", 12);
    header.float_bits = 32;
  }
  return true;
}

template <class Source>
bool ParseWith(Source& source, Diagnostics& d, Document& document, const ReadOptions& options) {
  Parser<Source> parser(source, d, document.templates(), &document, options);
  return parser.File();
}

ReadResult ReadChecked(std::span<const std::uint8_t> file, const ReadOptions& options) {
  ReadResult result;
  Diagnostics d;
  ProgressMeter meter(options.progress, file.size());
  d.meter = &meter;
  FileHeader header;
  if (file.size() > UINT32_MAX) {
    d.Fail(ErrorKind::kLimit, "files over 4 GiB are not supported", 0);
  } else if (d.KeepGoing(0) && ParseHeader(file, header, d)) {
    std::vector<std::uint8_t> inflated;
    std::span<const std::uint8_t> data = file;
    bool ok = true;
    if (header.encoding == Encoding::kCompressedText ||
        header.encoding == Encoding::kCompressedBinary) {
      const std::uint64_t limit =
          std::min<std::uint64_t>(options.max_decompressed_size, UINT32_MAX - kHeaderSize);
      Error e = InflateBlocks(file, limit, inflated, d.warnings);
      if (!e.ok()) {
        d.error = std::move(e);
        ok = false;
      }
      data = inflated;
      d.in_decompressed = true;
      meter.set_total(data.size());
    }
    if (ok) {
      result.document.set_header(header);
      if (header.encoding == Encoding::kBinary || header.encoding == Encoding::kCompressedBinary) {
        BinarySource source(data, header.float_bits, d);
        ParseWith(source, d, result.document, options);
      } else {
        TextSource source(data, d);
        if (!ParseWith(source, d, result.document, options) && d.error.offset <= data.size()) {
          // Text is read by line: say which one, counted only now that it is needed.
          const auto* first = data.data();
          d.error.line = static_cast<std::uint32_t>(
              1 + std::count(first, first + d.error.offset, std::uint8_t{'\n'}));
        }
      }
    }
  }
  if (d.error.ok() && !meter.Finish()) d.Fail(ErrorKind::kCancelled, "cancelled", file.size());
  result.error = std::move(d.error);
  if (result.ok()) {
    result.document.set_warnings(d.warnings.Take());
  } else {
    result.document = Document();
  }
  return result;
}

ReadResult OutOfMemory() {
  ReadResult result;
  result.error.kind = ErrorKind::kOutOfMemory;
  result.error.message = "not enough memory to read the file";
  return result;
}

}  // namespace

ReadResult Read(std::span<const std::uint8_t> file, const ReadOptions& options) {
  try {
    return ReadChecked(file, options);
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  try {
    return OutOfMemory();
  } catch (...) {
    std::abort();  // not even an empty document could be made
  }
}

ReadResult Read(std::string_view file, const ReadOptions& options) {
  return Read(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(file.data()),
                                            file.size()),
              options);
}

ReadResult ReadFile(const std::string& path, const ReadOptions& options) {
  FileBytes file;
  ReadResult failed;
  if (!ReadWholeFile(path, &file, &failed.error)) return failed;
  return Read(file.bytes(), options);
}

Error ReadTemplates(std::string_view text_file, TemplateSet& set) {
  try {
    Diagnostics d;
    auto file = std::span<const std::uint8_t>(
        reinterpret_cast<const std::uint8_t*>(text_file.data()), text_file.size());
    FileHeader header;
    if (!ParseHeader(file, header, d)) return d.error;
    if (header.encoding != Encoding::kText) {
      d.Fail(ErrorKind::kUnsupported, "template declarations must be in a text file", 8);
      return d.error;
    }
    TextSource source(file, d);
    ReadOptions options;
    Parser<TextSource> parser(source, d, set, nullptr, options);
    parser.File();
    return d.error;
  } catch (const std::exception&) {
    Error e;
    e.kind = ErrorKind::kOutOfMemory;
    e.message = "not enough memory to read the templates";
    return e;
  }
}

}  // namespace vorna::xfile
