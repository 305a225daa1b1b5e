// A made-up index.json of hotel-like passages with 1,024-dimension vectors.
#pragma once

#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace quorvel::bench {

namespace fs = std::filesystem;

inline const char* kWords[] = {"breakfast",
                               "terrace",
                               "served",
                               "from",
                               "until",
                               "guests",
                               "room",
                               "sea",
                               "view",
                               "parking",
                               "free",
                               "pool",
                               "towels",
                               "late",
                               "check-out",
                               "airport",
                               "transfer",
                               "taxi",
                               "quiet",
                               "hours",
                               "\xD0\xB7\xD0\xB0\xD0\xB2\xD1\x82\xD1\x80\xD0\xB0\xD0\xBA",
                               "\xE6\x97\xA9\xE9\xA4\x90",
                               "EUR",
                               "12"};

// An index.json of n passages with 1,024-dimension unit vectors; returns the
// bytes of texts and vectors it holds.
inline std::size_t writeIndex(const fs::path& file, std::size_t n) {
  std::mt19937 rng(42);
  std::normal_distribution<float> gauss;
  std::string out = "{\"files\":{\"hotel.txt\":1765000000.25},\"chunks\":[";
  std::size_t payload = 0;
  for (std::size_t i = 0; i < n; ++i) {
    std::string text;
    while (text.size() < 550) {
      text += kWords[rng() % 24];
      text += ' ';
    }
    std::vector<float> v(1024);
    float norm = 0;
    for (float& x : v) {
      x = gauss(rng);
      norm += x * x;
    }
    for (float& x : v) x /= std::sqrt(norm);
    if (i) out += ',';
    out += "{\"id\":\"hotel.txt#" + std::to_string(i + 1) + "\",\"file\":\"hotel.txt\",\"section\":\"Rooms\",\"text\":";
    out += '"' + text + '"';  // plain words: nothing to escape
    out += ",\"vector\":[";
    for (std::size_t j = 0; j < v.size(); ++j) {
      if (j) out += ',';
      char num[32];
      out.append(num, std::to_chars(num, num + sizeof num, v[j]).ptr);  // shortest form, as index.json has it
    }
    out += "]}";
    payload += text.size() + v.size() * sizeof(float);
  }
  out += "]}";
  std::ofstream(file, std::ios::binary) << out;
  return payload;
}

}  // namespace quorvel::bench
