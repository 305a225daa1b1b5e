// A small compact JSON writer for the files Quorvel stores: one line, no
// spaces, numbers in their shortest round-trip form, strings always valid
// UTF-8. (nlohmann prints floats through long double and not always in the
// shortest form, and turns a non-finite number into null silently.)
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quorvel {

struct JsonError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class JsonWriter {
 public:
  JsonWriter& beginObject();
  JsonWriter& endObject();
  JsonWriter& beginArray();
  JsonWriter& endArray();
  JsonWriter& key(std::string_view k);
  JsonWriter& value(std::string_view s);
  JsonWriter& value(const char* s) { return value(std::string_view(s)); }
  JsonWriter& value(bool b);
  JsonWriter& value(int64_t n);
  JsonWriter& value(int n) { return value(static_cast<int64_t>(n)); }
  // Throws JsonError for a value that is not finite.
  JsonWriter& value(double d);
  JsonWriter& value(float f);
  // Inserts an already encoded JSON value.
  JsonWriter& raw(std::string_view json);

  const std::string& str() const { return out_; }
  std::string take() { return std::move(out_); }

 private:
  void separate();
  std::string out_;
  bool needComma_ = false;
};

// Appends `s` as a JSON string literal (quotes included).
void appendJsonString(std::string& out, std::string_view s);
// Appends the shortest decimal form that reads back to the same value.
// Throws JsonError when the value is not finite.
void appendJsonNumber(std::string& out, double d);
void appendJsonNumber(std::string& out, float f);

}  // namespace quorvel
