#include "formats/json_writer.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace vorna {

void JsonWriter::Separate() {
  if (need_comma_) out_.push_back(',');
  need_comma_ = false;
}

JsonWriter& JsonWriter::BeginObject() {
  Separate();
  out_.push_back('{');
  return *this;
}

JsonWriter& JsonWriter::EndObject() {
  out_.push_back('}');
  need_comma_ = true;
  return *this;
}

JsonWriter& JsonWriter::BeginArray() {
  Separate();
  out_.push_back('[');
  return *this;
}

JsonWriter& JsonWriter::EndArray() {
  out_.push_back(']');
  need_comma_ = true;
  return *this;
}

JsonWriter& JsonWriter::Key(std::string_view key) {
  String(key);
  out_.push_back(':');
  need_comma_ = false;
  return *this;
}

JsonWriter& JsonWriter::String(std::string_view utf8) {
  Separate();
  out_.push_back('"');
  for (char ch : utf8) {
    const unsigned char c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"':
        out_ += "\\\"";
        break;
      case '\\':
        out_ += "\\\\";
        break;
      case '\n':
        out_ += "\\n";
        break;
      case '\r':
        out_ += "\\r";
        break;
      case '\t':
        out_ += "\\t";
        break;
      default:
        if (c < 0x20) {
          char buffer[8];
          std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
          out_ += buffer;
        } else {
          out_.push_back(ch);
        }
    }
  }
  out_.push_back('"');
  need_comma_ = true;
  return *this;
}

template <typename T>
JsonWriter& JsonWriter::AppendNumber(T value) {
  Separate();
  char buffer[32];
  auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  out_.append(buffer, ptr);
  need_comma_ = true;
  return *this;
}

JsonWriter& JsonWriter::Int(int64_t value) { return AppendNumber(value); }

JsonWriter& JsonWriter::Number(double value) {
  return std::isfinite(value) ? AppendNumber(value) : Null();
}

JsonWriter& JsonWriter::Float(float value) {
  return std::isfinite(value) ? AppendNumber(value) : Null();
}

JsonWriter& JsonWriter::Bool(bool value) {
  Separate();
  out_ += value ? "true" : "false";
  need_comma_ = true;
  return *this;
}

JsonWriter& JsonWriter::Null() {
  Separate();
  out_ += "null";
  need_comma_ = true;
  return *this;
}

JsonWriter& JsonWriter::Shortest(double value) {
  if (!std::isfinite(value)) value = 0.0;
  Separate();
  char buffer[32];
  const float f = static_cast<float>(value);
  const auto [ptr, ec] = static_cast<double>(f) == value
                             ? std::to_chars(buffer, buffer + sizeof buffer, f)
                             : std::to_chars(buffer, buffer + sizeof buffer, value);
  out_.append(buffer, ptr);
  need_comma_ = true;
  return *this;
}

JsonWriter& JsonWriter::Raw(std::string_view json) {
  if (json.empty()) return *this;
  Separate();
  out_ += json;
  need_comma_ = true;
  return *this;
}

JsonWriter& JsonWriter::Vector(Vec3 v) {
  BeginArray();
  Float(v.x).Float(v.y).Float(v.z);
  return EndArray();
}

}  // namespace vorna
