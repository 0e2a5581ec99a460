#include "formats/xfile/writer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <unordered_map>

#include "formats/xfile/binary_source.h"
#include "formats/xfile/data_walker.h"
#include "formats/xfile/diagnostics.h"
#include "formats/xfile/mszip.h"
#include "formats/xfile/names.h"
#include "formats/xfile/reader.h"
#include "io/little_endian.h"

namespace vorna::xfile {
namespace {

constexpr std::size_t kHeaderSize = 16;

// Hands a built object's values to the walker, which checks them against the template.
class FlatSource {
 public:
  FlatSource(const DataObject& o, Diagnostics& d) : o_(o), d_(d) {}

  std::uint64_t Offset() const { return 0; }

  bool ReadNumber(Primitive type, double& out) {
    if (numbers_ >= o_.numbers().size()) {
      return d_.Fail(ErrorKind::kBadData, "fewer numbers than its template needs", 0);
    }
    double v = o_.numbers()[numbers_++];
    // No encoding carries them: text has no spelling for them, and readers of the binary forms
    // take the bits for coordinates.
    if (!std::isfinite(v)) return d_.Fail(ErrorKind::kBadData, "a number that is not finite", 0);
    bool changed = false;
    out = IsFloatPrimitive(type) ? NormalizeFloat(type, v, changed)
                                 : FloatToInteger(type, v, changed);
    return true;
  }

  bool ReadString(std::string_view& out) {
    if (strings_ >= o_.strings().size()) {
      return d_.Fail(ErrorKind::kBadData, "fewer strings than its template needs", 0);
    }
    out = o_.strings()[strings_++];
    return true;
  }

  bool CanHold(std::uint64_t numbers, std::uint64_t strings) const {
    return numbers <= o_.numbers().size() - numbers_ && strings <= o_.strings().size() - strings_;
  }

  bool Complete() const {
    return numbers_ == o_.numbers().size() && strings_ == o_.strings().size();
  }

 private:
  const DataObject& o_;
  Diagnostics& d_;
  std::size_t numbers_ = 0;
  std::size_t strings_ = 0;
};

bool IsSignedPrimitive(Primitive p) {
  return p == Primitive::kChar || p == Primitive::kSword || p == Primitive::kSdword;
}

// Whether the text reader reads `name` back as one word: no white space, punctuation or quote,
// no comment or '.' at its start. Empty means "no name".
bool IsTextWord(std::string_view name) {
  if (name.empty()) return true;
  if (name[0] == '.' || name[0] == '#' || name.starts_with("//")) return false;
  return IsTextWordBytes(name);
}

// Whether the text reader takes `name` for a name where it also expects numbers and keywords
// (template names, member types, array sizes): a word that neither looks like a number nor is
// a keyword.
bool IsTextName(std::string_view name) {
  if (name.empty() || !IsTextWord(name)) return false;
  char c = name[0];
  bool digit_next = name.size() > 1 && ((name[1] >= '0' && name[1] <= '9') || name[1] == '.');
  if ((c >= '0' && c <= '9') || ((c == '-' || c == '+') && digit_next)) return false;
  return !EqualsIgnoreCase(name, "template") && !EqualsIgnoreCase(name, "array") &&
         PrimitiveFromKeyword(name) == Primitive::kNone;
}

class TextSink {
 public:
  static constexpr bool kSeparators = true;
  TextSink(std::string& out, Diagnostics& d, int indent, int decimals)
      : out_(out), d_(d), indent_(indent), decimals_(decimals) {}

  bool Number(Primitive p, double v) {
    StartLine();
    char buffer[400];
    std::to_chars_result r;
    if (IsIntegerPrimitive(p)) {
      r = IsSignedPrimitive(p)
              ? std::to_chars(buffer, buffer + sizeof buffer, static_cast<std::int64_t>(v))
              : std::to_chars(buffer, buffer + sizeof buffer, static_cast<std::uint64_t>(v));
    } else if (p == Primitive::kFloat) {
      r = std::to_chars(buffer, buffer + sizeof buffer, static_cast<float>(v),
                        std::chars_format::fixed, decimals_);
    } else {
      r = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed, decimals_);
    }
    if (r.ec != std::errc()) return d_.Fail(ErrorKind::kBadData, "a number is too long", 0);
    out_.append(buffer, r.ptr);
    ++on_line_;
    return true;
  }

  bool String(std::string_view s) {
    if (s.find('"') != std::string_view::npos) {
      return d_.Fail(ErrorKind::kBadData,
                     "a string holds a double quote, which text files cannot carry", 0);
    }
    StartLine();
    out_ += '"';
    out_ += s;
    out_ += '"';
    return true;
  }

  void Separator(char c, SeparatorAt at) {
    out_ += c;
    if (at == SeparatorAt::kMemberEnd || at == SeparatorAt::kElementEnd ||
        (at == SeparatorAt::kValueEnd && on_line_ >= 16)) {
      out_ += '\n';
      line_start_ = true;
      on_line_ = 0;
    }
  }

  std::size_t BeginNode() { return 0; }
  void EndNode(std::size_t) {}

 private:
  void StartLine() {
    if (line_start_) {
      out_.append(static_cast<std::size_t>(indent_), ' ');
      line_start_ = false;
    }
  }

  std::string& out_;
  Diagnostics& d_;
  int indent_;
  int decimals_;
  bool line_start_ = true;
  int on_line_ = 0;
};

void AppendToken(std::string& out, BinaryTokenCode code) { AppendU16(out, code); }

void AppendName(std::string& out, std::string_view name) {
  AppendToken(out, kTokName);
  AppendU32(out, static_cast<std::uint32_t>(name.size()));
  out += name;
}

class BinarySink {
 public:
  static constexpr bool kSeparators = true;
  explicit BinarySink(std::string& out) : out_(out) {}

  bool Number(Primitive p, double v) {
    const bool floats = IsFloatPrimitive(p);
    if (!open_ || floats != floats_) {
      Flush();
      AppendToken(out_, floats ? kTokFloatList : kTokIntegerList);
      count_at_ = out_.size();
      AppendU32(out_, 0);
      open_ = true;
      floats_ = floats;
    }
    if (floats) {
      // DOUBLE members travel as 32-bit floats too; clamp what single precision cannot hold.
      AppendF32(out_, static_cast<float>(std::clamp(v, -double{FLT_MAX}, double{FLT_MAX})));
    } else {
      AppendU32(out_, static_cast<std::uint32_t>(static_cast<std::int64_t>(v)));
    }
    ++count_;
    return true;
  }

  bool String(std::string_view s) {
    Flush();
    AppendToken(out_, kTokString);
    AppendU32(out_, static_cast<std::uint32_t>(s.size()));
    out_ += s;
    terminator_pending_ = true;
    return true;
  }

  // A string is followed by its separator token; numbers need none.
  void Separator(char c, SeparatorAt) {
    if (terminator_pending_) {
      AppendToken(out_, c == ',' ? kTokComma : kTokSemicolon);
      terminator_pending_ = false;
    }
  }

  std::size_t BeginNode() { return 0; }
  void EndNode(std::size_t) {}

  // Lists never run past an object's data.
  void Flush() {
    if (!open_) return;
    std::string count;
    AppendU32(count, count_);
    out_.replace(count_at_, 4, count);
    open_ = false;
    count_ = 0;
  }

 private:
  std::string& out_;
  bool open_ = false;
  bool floats_ = false;
  std::size_t count_at_ = 0;
  std::uint32_t count_ = 0;
  bool terminator_pending_ = false;
};

BinaryTokenCode PrimitiveToken(Primitive p) {
  switch (p) {
    case Primitive::kWord:
      return kTokWord;
    case Primitive::kDword:
      return kTokDword;
    case Primitive::kFloat:
      return kTokFloat;
    case Primitive::kDouble:
      return kTokDouble;
    case Primitive::kChar:
      return kTokChar;
    case Primitive::kUchar:
      return kTokUchar;
    case Primitive::kSword:
      return kTokSword;
    case Primitive::kSdword:
      return kTokSdword;
    case Primitive::kString:
      return kTokLpstr;
    case Primitive::kUnicode:
      return kTokUnicode;
    case Primitive::kCstring:
      return kTokCstring;
    default:
      return kTokVoid;
  }
}

class Writer {
 public:
  Writer(const Document& document, const WriteOptions& options)
      : document_(document),
        options_(options),
        binary_(options.encoding == Encoding::kBinary ||
                options.encoding == Encoding::kCompressedBinary),
        decimals_(std::clamp(options.float_decimals, 1, 17)) {}

  bool Run(std::string& out) {
    static constexpr const char* kFormats[] = {"txt ", "bin ", "tzip", "bzip"};
    out = "xof 0303";
    out += kFormats[static_cast<int>(options_.encoding) & 3];
    out += "0032";
    if (!binary_) out += '\n';
    for (const std::string& name : options_.declare) {
      const Template* t = document_.FindTemplate(name);
      if (t == nullptr || !t->layout.usable) {
        return Fail("template " + name + " cannot be declared: " +
                    (t == nullptr ? std::string("unknown") : t->layout.problem));
      }
      if (!CheckTemplateNames(*t)) return false;
      declared_[AsciiLower(t->name)] = t;
      if (binary_) {
        DeclareBinary(*t, out);
      } else {
        DeclareText(*t, out);
      }
    }
    for (const DataObject* o : document_.objects()) {
      if (!WriteObject(*o, 0, out)) return false;
    }
    if (options_.encoding == Encoding::kCompressedBinary ||
        options_.encoding == Encoding::kCompressedText) {
      std::string packed = out.substr(0, kHeaderSize);
      Error e = DeflateBlocks(std::string_view(out).substr(kHeaderSize), options_.compression_level,
                              packed);
      if (!e.ok()) {
        d_.error = std::move(e);
        return false;
      }
      out = std::move(packed);
    }
    return true;
  }

  Error TakeError() { return std::move(d_.error); }

 private:
  bool Fail(std::string text) { return d_.Fail(ErrorKind::kBadData, std::move(text), 0); }

  // `strict`: the name must read back as a name where numbers and keywords may also stand.
  bool CheckName(std::string_view name, const char* what, bool strict = false) {
    if (name.size() > UINT32_MAX) return Fail(std::string(what) + " name too long");
    if (!binary_ && !(strict ? IsTextName(name) : IsTextWord(name))) {
      return Fail(std::string(what) + " name \"" + std::string(name) +
                  "\" holds characters a text file cannot carry");
    }
    return true;
  }

  bool CheckTemplateNames(const Template& t) {
    if (!CheckName(t.name, "template", true)) return false;
    for (const TemplateMember& m : t.members) {
      if (!CheckName(m.name, "member") ||
          (m.type != nullptr && !CheckName(m.type_name, "type", true))) {
        return false;
      }
      for (const Dimension& d : m.dimensions) {
        if (!d.member.empty() && !CheckName(d.member, "array size", true)) return false;
      }
    }
    for (const AllowedChild& a : t.allowed) {
      if (!CheckName(a.name, "template")) return false;
    }
    return true;
  }

  // A name ending in a CP932 lead byte would take a bracket right after it as its second byte.
  static void AppendBeforeBracket(std::string& out, const std::string& name) {
    out += name;
    if (!name.empty() && IsCp932Lead(static_cast<unsigned char>(name.back()))) out += ' ';
  }

  void DeclareText(const Template& t, std::string& out) {
    out += "template " + t.name + " {\n <" + t.guid.ToString() + ">\n";
    for (const TemplateMember& m : t.members) {
      out += m.IsArray() ? " array " : " ";
      out += m.type != nullptr ? m.type_name : std::string(PrimitiveKeyword(m.primitive));
      if (!m.name.empty()) {
        out += ' ';
        AppendBeforeBracket(out, m.name);
      }
      for (const Dimension& d : m.dimensions) {
        out += '[';
        AppendBeforeBracket(out, d.member.empty() ? std::to_string(d.size) : d.member);
        out += ']';
      }
      out += ";\n";
    }
    if (t.openness == Openness::kOpen) out += " [...]\n";
    if (t.openness == Openness::kRestricted) {
      out += " [";
      for (std::size_t i = 0; i < t.allowed.size(); ++i) {
        if (i > 0) out += ", ";
        out += t.allowed[i].name;
        if (t.allowed[i].guid) {
          if (!t.allowed[i].name.empty()) out += ' ';
          out += '<';
          out += t.allowed[i].guid->ToString();
          out += '>';
        }
      }
      out += "]\n";
    }
    out += "}\n\n";
  }

  void DeclareBinary(const Template& t, std::string& out) {
    AppendToken(out, kTokTemplate);
    AppendName(out, t.name);
    AppendToken(out, kTokOBrace);
    AppendToken(out, kTokGuid);
    t.guid.AppendBytes(out);
    for (const TemplateMember& m : t.members) {
      if (m.IsArray()) AppendToken(out, kTokArray);
      if (m.type != nullptr) {
        AppendName(out, m.type_name);
      } else {
        AppendToken(out, PrimitiveToken(m.primitive));
      }
      if (!m.name.empty()) AppendName(out, m.name);
      for (const Dimension& d : m.dimensions) {
        AppendToken(out, kTokOBracket);
        if (d.member.empty()) {
          AppendToken(out, kTokInteger);
          AppendU32(out, d.size);
        } else {
          AppendName(out, d.member);
        }
        AppendToken(out, kTokCBracket);
      }
      AppendToken(out, kTokSemicolon);
    }
    if (t.openness == Openness::kOpen) {
      AppendToken(out, kTokOBracket);
      for (int i = 0; i < 3; ++i) AppendToken(out, kTokDot);
      AppendToken(out, kTokCBracket);
    } else if (t.openness == Openness::kRestricted) {
      AppendToken(out, kTokOBracket);
      for (std::size_t i = 0; i < t.allowed.size(); ++i) {
        if (i > 0) AppendToken(out, kTokComma);
        if (!t.allowed[i].name.empty()) AppendName(out, t.allowed[i].name);
        if (t.allowed[i].guid) {
          AppendToken(out, kTokGuid);
          t.allowed[i].guid->AppendBytes(out);
        }
      }
      AppendToken(out, kTokCBracket);
    }
    AppendToken(out, kTokCBrace);
  }

  // What a reader will take the template name to mean: its last declaration in this file, or
  // else the standard template of that name.
  bool TemplateReadsBack(const Template& t) const {
    auto it = declared_.find(AsciiLower(t.name));
    if (it != declared_.end()) return it->second == &t;
    return StandardTemplates().Find(t.name) == &t;
  }

  bool WriteObject(const DataObject& o, int depth, std::string& out) {
    const std::string what = o.template_name() + (o.name().empty() ? "" : " '" + o.name() + "'");
    if (depth >= ReadOptions().max_depth) return Fail(what + " is nested too deeply");
    if (!TemplateReadsBack(o.type())) {
      return Fail(what + " uses template " + o.template_name() + ", which is not declared");
    }
    if (!CheckName(o.name(), "object")) return false;
    const std::string indent(static_cast<std::size_t>(depth), ' ');
    if (binary_) {
      AppendName(out, o.template_name());
      if (!o.name().empty()) AppendName(out, o.name());
      AppendToken(out, kTokOBrace);
      if (o.guid()) {
        AppendToken(out, kTokGuid);
        o.guid()->AppendBytes(out);
      }
      BinarySink sink(out);
      if (!WriteData(o, sink, what)) return false;
      sink.Flush();
    } else {
      out += indent + o.template_name();
      if (!o.name().empty()) out += " " + o.name();
      out += " {\n";
      if (o.guid()) out += indent + " <" + o.guid()->ToString() + ">\n";
      TextSink sink(out, d_, depth + 1, decimals_);
      if (!WriteData(o, sink, what)) return false;
    }
    for (const Child& c : o.children()) {
      if (!c.reference) {
        if (!WriteObject(*c.object, depth + 1, out)) return false;
      } else if (!WriteReference(c, indent, out, what)) {
        return false;
      }
    }
    if (binary_) {
      AppendToken(out, kTokCBrace);
    } else {
      out += indent + "}\n";
    }
    if (depth == 0 && !binary_) out += '\n';
    if (!o.name().empty()) written_names_[o.name()] = &o;
    if (o.guid()) written_guids_[*o.guid()] = &o;
    return true;
  }

  template <class Sink>
  bool WriteData(const DataObject& o, Sink& sink, const std::string& what) {
    FlatSource source(o, d_);
    DataWalker<FlatSource, Sink> walker(source, sink, d_);
    if (!walker.Object(o.type())) {
      d_.error.kind = ErrorKind::kBadData;
      d_.error.message = what + ": " + d_.error.message;
      return false;
    }
    if (!source.Complete()) return Fail(what + ": more values than its template holds");
    return true;
  }

  bool WriteReference(const Child& c, const std::string& indent, std::string& out,
                      const std::string& what) {
    std::string name = c.name;
    std::optional<Guid> guid = c.guid;
    if (c.object != nullptr) {
      // The reader resolves a GUID first, then the name: both must lead to the target.
      name = c.object->name();
      guid = c.object->guid();
      bool found = false;
      if (guid) {
        auto it = written_guids_.find(*guid);
        found = it != written_guids_.end() && it->second == c.object;
      } else if (!name.empty()) {
        auto it = written_names_.find(name);
        found = it != written_names_.end() && it->second == c.object;
      } else {
        return Fail(what + " refers to an object without name or GUID");
      }
      if (!found) {
        return Fail(what + " refers to " + c.object->template_name() + " '" + name +
                    "', which is not the last object of that name written before it");
      }
    }
    if (name.empty() && !guid) return true;
    if (!CheckName(name, "reference")) return false;
    if (binary_) {
      AppendToken(out, kTokOBrace);
      if (!name.empty()) AppendName(out, name);
      if (guid) {
        AppendToken(out, kTokGuid);
        guid->AppendBytes(out);
      }
      AppendToken(out, kTokCBrace);
    } else {
      out += indent + " {";
      if (!name.empty()) out += " " + name;
      if (guid) out += " <" + guid->ToString() + ">";
      out += " }\n";
    }
    return true;
  }

  const Document& document_;
  const WriteOptions& options_;
  const bool binary_;
  const int decimals_;
  Diagnostics d_;
  std::unordered_map<std::string, const Template*> declared_;  // lower-case name: last declared
  std::unordered_map<std::string, const DataObject*> written_names_;
  std::unordered_map<Guid, const DataObject*, GuidHash> written_guids_;
};

}  // namespace

WriteResult Write(const Document& document, const WriteOptions& options) {
  WriteResult result;
  try {
    Writer writer(document, options);
    if (!writer.Run(result.bytes)) {
      result.bytes.clear();
      result.error = writer.TakeError();
    }
  } catch (const std::exception&) {
    result.bytes.clear();
    result.bytes.shrink_to_fit();
    result.error.kind = ErrorKind::kOutOfMemory;
    result.error.message = "not enough memory to write the file";
  }
  return result;
}

}  // namespace vorna::xfile
