#include "platform/json_writer.h"

#include <charconv>
#include <cmath>

#include "platform/text.h"

namespace quorvel {

namespace {

template <class F>
void appendFloating(std::string& out, F v) {
  if (!std::isfinite(v)) throw JsonError("a number that is not finite cannot be written as JSON");
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, end);
}

}  // namespace

void appendJsonNumber(std::string& out, double d) { appendFloating(out, d); }
void appendJsonNumber(std::string& out, float f) { appendFloating(out, f); }

void appendJsonString(std::string& out, std::string_view raw) {
  const std::string valid = isValidUtf8(raw) ? std::string() : toValidUtf8(raw);
  const std::string_view s = valid.empty() ? raw : std::string_view(valid);
  static const char* hex = "0123456789abcdef";
  out.push_back('"');
  for (unsigned char c : s) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      default:
        if (c < 0x20) {
          out += "\\u00";
          out.push_back(hex[c >> 4]);
          out.push_back(hex[c & 15]);
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
  }
  out.push_back('"');
}

void JsonWriter::separate() {
  if (needComma_) out_.push_back(',');
  needComma_ = true;
}

JsonWriter& JsonWriter::beginObject() {
  separate();
  out_.push_back('{');
  needComma_ = false;
  return *this;
}
JsonWriter& JsonWriter::endObject() {
  out_.push_back('}');
  needComma_ = true;
  return *this;
}
JsonWriter& JsonWriter::beginArray() {
  separate();
  out_.push_back('[');
  needComma_ = false;
  return *this;
}
JsonWriter& JsonWriter::endArray() {
  out_.push_back(']');
  needComma_ = true;
  return *this;
}
JsonWriter& JsonWriter::key(std::string_view k) {
  separate();
  appendJsonString(out_, k);
  out_.push_back(':');
  needComma_ = false;
  return *this;
}
JsonWriter& JsonWriter::value(std::string_view s) {
  separate();
  appendJsonString(out_, s);
  return *this;
}
JsonWriter& JsonWriter::value(bool b) {
  separate();
  out_ += b ? "true" : "false";
  return *this;
}
JsonWriter& JsonWriter::value(int64_t n) {
  separate();
  out_ += std::to_string(n);
  return *this;
}
JsonWriter& JsonWriter::value(double d) {
  separate();
  appendJsonNumber(out_, d);
  return *this;
}
JsonWriter& JsonWriter::value(float f) {
  separate();
  appendJsonNumber(out_, f);
  return *this;
}
JsonWriter& JsonWriter::raw(std::string_view json) {
  separate();
  out_.append(json);
  return *this;
}

}  // namespace quorvel
