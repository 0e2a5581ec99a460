// A small streaming JSON writer for vorna-cli's machine-readable output.
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

  const std::string& str() const { return out_; }

 private:
  void Separate();
  std::string out_;
  bool need_comma_ = false;
};

}  // namespace vorna
