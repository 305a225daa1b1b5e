#include "runtime/gguf.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <vector>

namespace quorvel {

namespace {

struct Bad : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Reads the file front to back with bounds on every count, so that a
// hostile header cannot make it allocate or loop without end.
class Reader {
 public:
  explicit Reader(std::FILE* f) : f_(f) {}
  void bytes(void* out, std::size_t n) {
    if (std::fread(out, 1, n, f_) != n) throw Bad("cut off in its header");
    pos_ += n;
  }
  template <class T>
  T number() {
    T v{};
    bytes(&v, sizeof v);  // GGUF is little-endian, as this computer
    return v;
  }
  void skip(uint64_t n) {
    if (n > (1ull << 40) || std::fseek(f_, static_cast<long>(n), SEEK_CUR) != 0) throw Bad("cut off in its header");
    pos_ += n;
  }
  std::string string() {
    const uint64_t n = number<uint64_t>();
    if (n > (1u << 20)) throw Bad("a name in its header is impossibly long");
    std::string s(n, '\0');
    if (n > 0) bytes(s.data(), n);
    return s;
  }
  uint64_t pos() const { return pos_; }

 private:
  std::FILE* f_;
  uint64_t pos_ = 0;
};

// Bytes of one value of a metadata type; 0 for a string or an array.
uint64_t scalarSize(uint32_t type) {
  // A table, kept as one (the formatter would put each case on a line).
  // clang-format off
  switch (type) {
    case 0: case 1: case 7: return 1;    // uint8, int8, bool
    case 2: case 3: return 2;            // uint16, int16
    case 4: case 5: case 6: return 4;    // uint32, int32, float32
    case 10: case 11: case 12: return 8; // uint64, int64, float64
    case 8: case 9: return 0;            // string, array
    default: throw Bad("its header holds a value of unknown type " + std::to_string(type));
  }
  // clang-format on
}

void skipValue(Reader& r, uint32_t type, int depth) {
  if (type == 8) {
    r.skip(r.number<uint64_t>());
  } else if (type == 9) {
    if (depth > 2) throw Bad("its header nests arrays too deeply");
    const uint32_t element = r.number<uint32_t>();
    const uint64_t count = r.number<uint64_t>();
    if (count > (1ull << 32)) throw Bad("an array in its header is impossibly long");
    if (const uint64_t size = scalarSize(element); size > 0) {
      r.skip(size * count);
    } else {
      for (uint64_t i = 0; i < count; ++i) skipValue(r, element, depth + 1);
    }
  } else {
    r.skip(scalarSize(type));
  }
}

// Elements per block and bytes per block of a tensor type (ggml's table);
// {0, 0} for a type not listed here.
std::pair<uint64_t, uint64_t> blockOf(uint32_t type) {
  switch (type) {
    case 0: return {1, 4};       // F32
    case 1: return {1, 2};       // F16
    case 2: return {32, 18};     // Q4_0
    case 3: return {32, 20};     // Q4_1
    case 6: return {32, 22};     // Q5_0
    case 7: return {32, 24};     // Q5_1
    case 8: return {32, 34};     // Q8_0
    case 9: return {32, 36};     // Q8_1
    case 10: return {256, 84};   // Q2_K
    case 11: return {256, 110};  // Q3_K
    case 12: return {256, 144};  // Q4_K
    case 13: return {256, 176};  // Q5_K
    case 14: return {256, 210};  // Q6_K
    case 15: return {256, 292};  // Q8_K
    case 24: return {1, 1};      // I8
    case 25: return {1, 2};      // I16
    case 26: return {1, 4};      // I32
    case 27: return {1, 8};      // I64
    case 28: return {1, 8};      // F64
    case 30: return {1, 2};      // BF16
    default: return {0, 0};
  }
}

}  // namespace

std::optional<std::string> ggufDamage(const std::filesystem::path& file) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(file.c_str(), "rbe"), &std::fclose);
  if (!f) return "cannot be opened";
  std::error_code ec;
  const uint64_t size = std::filesystem::file_size(file, ec);
  if (ec) return "cannot be read";
  try {
    Reader r(f.get());
    char magic[4];
    r.bytes(magic, 4);
    if (std::string_view(magic, 4) != "GGUF") return "not a GGUF model file";
    const uint32_t version = r.number<uint32_t>();
    if (version < 2 || version > 3) return "a GGUF file of unknown version " + std::to_string(version);
    const uint64_t tensors = r.number<uint64_t>();
    const uint64_t entries = r.number<uint64_t>();
    if (tensors > (1u << 20) || entries > (1u << 20)) return "its header counts impossibly many entries";
    uint64_t alignment = 32;
    for (uint64_t i = 0; i < entries; ++i) {
      const std::string key = r.string();
      const uint32_t type = r.number<uint32_t>();
      if (key == "general.alignment" && type == 4) {
        alignment = r.number<uint32_t>();
        if (alignment == 0 || (alignment & (alignment - 1)) != 0) return "its data alignment is not a power of two";
      } else {
        skipValue(r, type, 0);
      }
    }
    uint64_t end = 0;  // where the last tensor's data ends, from the data's start
    for (uint64_t i = 0; i < tensors; ++i) {
      r.string();
      const uint32_t dims = r.number<uint32_t>();
      if (dims == 0 || dims > 4) return "a tensor has " + std::to_string(dims) + " dimensions";
      uint64_t elements = 1;
      for (uint32_t d = 0; d < dims; ++d) {
        const uint64_t n = r.number<uint64_t>();
        if (n == 0 || n > (1ull << 40) || elements > (1ull << 62) / n) return "a tensor has impossible dimensions";
        elements *= n;
      }
      const uint32_t type = r.number<uint32_t>();
      const uint64_t offset = r.number<uint64_t>();
      if (offset > size) return "cut off: a tensor lies beyond the end of the file";
      const auto [perBlock, blockBytes] = blockOf(type);
      const uint64_t bytes = perBlock > 0 ? (elements + perBlock - 1) / perBlock * blockBytes : 1;
      end = std::max(end, offset + bytes);
    }
    const uint64_t dataStart = (r.pos() + alignment - 1) / alignment * alignment;
    if (tensors > 0 && dataStart + end > size)
      return "cut off: its tensors need " + std::to_string(dataStart + end) + " bytes, the file has " +
             std::to_string(size);
  } catch (const Bad& e) {
    return std::string(e.what());
  }
  return std::nullopt;
}

}  // namespace quorvel
