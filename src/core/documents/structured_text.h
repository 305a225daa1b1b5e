// The text of a document with structure (Word, RTF, web pages) in the form
// the passage cutting reads: paragraphs apart by a blank line, headings as
// "#" lines, table rows one to a line with their column names.
#pragma once

#include <string>
#include <vector>

namespace quorvel::readers {

struct Block {
  std::string text;
  int level = 0;  // heading level (1 to 6), 0 for any other paragraph
};

// A table's rows as lines. Where the table has a header row (`headerRow`,
// or a first row of short names without digits), every later row names its
// cells by their column ("Room: Double; Low season: EUR 90"), so that a row
// read alone still says what its numbers are.
std::string tableText(std::vector<std::vector<std::string>> rows, bool headerRow);

// The blocks as text: a heading as "#"s and its text, blocks apart by a blank line.
std::string joinBlocks(const std::vector<Block>& blocks);

}  // namespace quorvel::readers
