// libFuzzer target for what guests type: the reply-language recogniser gets
// any bytes (broken UTF-8, control characters, very long words) and must
// answer with a language code.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <quorvel/lang.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string code = quorvel::Lang::detect(std::string_view(reinterpret_cast<const char*>(data), size));
  if (code.empty() || code.size() > 16) __builtin_trap();
  for (const char c : code)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-')) __builtin_trap();
  return 0;
}
