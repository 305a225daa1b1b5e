#include "documents/structured_text.h"

#include <algorithm>

#include "platform/text.h"

namespace quorvel::readers {

namespace {

// A cell's text on one line, trimmed.
std::string cellText(const std::string& cell) {
  std::string out;
  bool space = false;
  for (char c : cell) {
    if (c == '\n' || c == '\t' || c == '\r' || c == ' ') {
      space = !out.empty();
      continue;
    }
    if (space) out.push_back(' ');
    space = false;
    out.push_back(c);
  }
  return std::string(trimUtf8(out, isSpaceOrNewline));
}

bool looksLikeHeaderRow(const std::vector<std::vector<std::string>>& rows) {
  if (rows.size() < 2 || rows[0].size() < 2) return false;
  return std::all_of(rows[0].begin(), rows[0].end(), [](const std::string& c) {
    return !c.empty() && graphemeCount(c) <= 40 &&
           std::none_of(c.begin(), c.end(), [](char ch) { return ch >= '0' && ch <= '9'; });
  });
}

}  // namespace

std::string tableText(std::vector<std::vector<std::string>> rows, bool headerRow) {
  for (auto& row : rows)
    for (auto& cell : row) cell = cellText(cell);
  std::erase_if(rows, [](const auto& row) {
    return std::all_of(row.begin(), row.end(), [](const std::string& c) { return c.empty(); });
  });
  if (rows.empty()) return {};
  const bool named = rows.size() >= 2 && (headerRow || looksLikeHeaderRow(rows));
  std::string out;
  for (std::size_t r = named ? 1 : 0; r < rows.size(); ++r) {
    std::string line;
    for (std::size_t i = 0; i < rows[r].size(); ++i) {
      const std::string& cell = rows[r][i];
      if (named) {
        if (cell.empty()) continue;
        const std::string& name = i < rows[0].size() ? rows[0][i] : std::string();
        if (!line.empty()) line += "; ";
        line += name.empty() || name == cell ? cell : name + ": " + cell;
      } else {
        if (i > 0) line += '\t';
        line += cell;
      }
    }
    while (!line.empty() && line.back() == '\t') line.pop_back();
    if (line.empty()) continue;
    if (!out.empty()) out += '\n';
    out += line;
  }
  return out;
}

std::string joinBlocks(const std::vector<Block>& blocks) {
  std::string out;
  for (const Block& b : blocks) {
    const std::string_view text = trimUtf8(b.text, isSpaceOrNewline);
    if (text.empty()) continue;
    if (!out.empty()) out += "\n\n";
    if (b.level > 0) out += std::string(static_cast<std::size_t>(std::min(b.level, 6)), '#') + " ";
    out += text;
  }
  return out;
}

}  // namespace quorvel::readers
