// A small streaming JSON writer: the glTF export's document and vorna-cli's machine-readable
// output. Commas between values come by themselves; nothing is indented.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "maths/vector.h"

namespace vorna {

class JsonWriter {
 public:
  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray();
  JsonWriter& EndArray();
  JsonWriter& Key(std::string_view key);
  JsonWriter& String(std::string_view utf8);
  JsonWriter& Int(int64_t value);
  // Shortest round-trip form; NaN and infinities become null.
  JsonWriter& Number(double value);
  // Shortest form that reads back as the same float.
  JsonWriter& Float(float value);
  JsonWriter& Bool(bool value);
  JsonWriter& Null();
  JsonWriter& Vector(Vec3 v);
  // A value that must stay a number: the shortest text that reads back as the same float when
  // the value is one (so that accessor bounds stay exact), else as the same double; NaN and
  // infinities, which JSON cannot hold, as 0.
  JsonWriter& Shortest(double value);
  // Values written by another JsonWriter (comma-separated items), spliced in as they are.
  JsonWriter& Raw(std::string_view json);

  const std::string& str() const { return out_; }

 private:
  void Separate();
  // Appends a number in its shortest form that reads back exactly.
  template <typename T>
  JsonWriter& AppendNumber(T value);
  std::string out_;
  bool need_comma_ = false;
};

}  // namespace vorna
