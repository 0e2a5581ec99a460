// Shared by the .x fuzz targets: read the input with its encoding forced, then use what was read
// the way an importer and the exporter would, and check that whatever we can write reads back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "formats/xfile/reader.h"
#include "formats/xfile/writer.h"

namespace vorna::xfile::fuzz {

// Touches every member of every object through the typed views, within a budget: arrays of
// empty structures may be long without holding anything.
inline void Walk(const Value& v, std::size_t& budget) {
  if (budget == 0 || !v.valid()) return;
  --budget;
  volatile double sink = v.Number();
  (void)sink;
  (void)v.String();
  (void)v.Numbers();
  if (v.is_array()) {
    for (Value element : v) {
      if (budget == 0) return;
      Walk(element, budget);
    }
    return;
  }
  if (const Template* t = v.structure()) {
    for (const TemplateMember& m : t->members) Walk(v[m.name], budget);
  }
}

inline std::size_t CountObjects(const std::vector<DataObject*>& objects) {
  std::size_t n = 0;
  std::vector<const DataObject*> stack(objects.begin(), objects.end());
  while (!stack.empty()) {
    const DataObject* o = stack.back();
    stack.pop_back();
    ++n;
    for (const Child& c : o->children()) {
      if (!c.reference) stack.push_back(c.object);
    }
  }
  return n;
}

inline void CheckRewrite(const Document& document, Encoding encoding) {
  WriteOptions options;
  options.encoding = encoding;
  for (const Template* t : document.templates().declared()) {
    if (t->layout.usable) options.declare.push_back(t->name);
  }
  WriteResult written = Write(document, options);
  if (!written.ok()) return;  // names or strings this encoding cannot carry
  ReadResult again = Read(written.bytes);
  if (!again.ok()) std::abort();
  if (CountObjects(again.document.objects()) != CountObjects(document.objects())) std::abort();
}

// `encoding` is the header field to force; `also` one more field left as it is.
inline int Run(const std::uint8_t* data, std::size_t size, std::string_view encoding,
               std::string_view also = {}) {
  std::string file(reinterpret_cast<const char*>(data), size);
  if (file.size() >= 16 && (also.empty() || file.compare(8, 4, also) != 0)) {
    file.replace(8, 4, encoding);
  }
  ReadResult result = Read(file);
  if (!result.ok()) return 0;
  std::size_t budget = 1 << 16;
  std::vector<const DataObject*> stack(result.document.objects().begin(),
                                       result.document.objects().end());
  while (!stack.empty()) {
    const DataObject* o = stack.back();
    stack.pop_back();
    Walk(o->data(), budget);
    for (const Child& c : o->children()) {
      if (!c.reference) stack.push_back(c.object);
    }
  }
  CheckRewrite(result.document, Encoding::kText);
  CheckRewrite(result.document, Encoding::kBinary);
  return 0;
}

}  // namespace vorna::xfile::fuzz
