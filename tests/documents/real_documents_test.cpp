// Documents made the way hotels make them (a word processor's file converted
// to PDF, .doc and .rtf, a two-column newsletter, a spreadsheet printed to
// PDF, a saved web page, a booking system's export, a Q&A sheet): every fact
// a reader sees must lie whole in one passage that the search can find and
// the prompt can quote.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>

#include <quorvel/document_reader.h>

#include "platform/text.h"

namespace quorvel {
namespace {

const std::string kDir = std::string(QUORVEL_FIXTURES) + "/real-documents/";

// facts.tsv: "file<TAB>fact" lines.
std::map<std::string, std::vector<std::string>> facts() {
  std::map<std::string, std::vector<std::string>> out;
  std::ifstream in(kDir + "facts.tsv");
  for (std::string line; std::getline(in, line);) {
    const std::size_t tab = line.find('\t');
    if (line.empty() || line[0] == '#' || tab == std::string::npos) continue;
    out[line.substr(0, tab)].push_back(line.substr(tab + 1));
  }
  return out;
}

std::vector<Chunk> passagesOf(const std::string& file) {
  const auto text = DocumentReader::text(kDir + file);
  if (!text) return {};
  return DocumentReader::chunks(file, *text);
}

// Spaces and line breaks as one space: a fact may wrap in a PDF's line.
std::string flat(std::string_view s) {
  std::string out;
  for (char c : s) {
    const bool space = c == ' ' || c == '\n' || c == '\t';
    if (space && (out.empty() || out.back() == ' ')) continue;
    out.push_back(space ? ' ' : c);
  }
  return out;
}

constexpr std::size_t kLongest = 1000;

TEST(RealDocuments, EveryFactLiesWholeInAPassage) {
  const auto all = facts();
  ASSERT_GE(all.size(), 9u) << "facts.tsv is missing or short";
  std::size_t found = 0, total = 0;
  for (const auto& [file, list] : all) {
    const std::vector<Chunk> passages = passagesOf(file);
    ASSERT_FALSE(passages.empty()) << file;
    for (const Chunk& c : passages) EXPECT_LE(graphemeCount(c.text), kLongest) << c.id;
    for (const std::string& fact : list) {
      ++total;
      const bool whole = std::any_of(passages.begin(), passages.end(), [&](const Chunk& c) {
        return graphemeCount(c.text) <= kLongest && flat(c.text).find(flat(fact)) != std::string::npos;
      });
      found += whole;
      EXPECT_TRUE(whole) << file << ": \"" << fact << "\" lies whole in no passage";
    }
  }
  std::printf("facts whole in a passage: %zu of %zu\n", found, total);
}

// What lies around a document's content never names a section nor stands
// as a passage of its own.
TEST(RealDocuments, NoSectionIsAPageHeaderOrFooter) {
  for (const char* file : {"house-rules.pdf", "house-rules.docx", "house-rules.rtf", "house-rules.doc",
                           "newsletter.pdf", "price-list.pdf"}) {
    for (const Chunk& c : passagesOf(file)) {
      EXPECT_EQ(c.section.find("Page "), std::string::npos) << file << ": " << c.section;
      EXPECT_EQ(c.section.find("Guest Information 2025"), std::string::npos) << file << ": " << c.section;
      EXPECT_FALSE(c.text.starts_with("Guest Information 2025")) << c.id;
    }
  }
}

TEST(RealDocuments, AWebPageGivesItsContentNotTheSite) {
  const auto passages = passagesOf("website.html");
  ASSERT_FALSE(passages.empty());
  std::string all;
  for (const Chunk& c : passages) all += c.text + "\n";
  for (const char* never : {"We use cookies", "Accept all", "Check availability", "Book now", "LH-STAFF-40",
                            "Winter Magic week", "SUMMER-SCRIPT-15", "G-LH2025XYZ", "schema.org", "font-family"})
    EXPECT_EQ(all.find(never), std::string::npos) << never;
  // Sections from its headings.
  EXPECT_TRUE(std::any_of(passages.begin(), passages.end(), [](const Chunk& c) { return !c.section.empty(); }));
}

TEST(RealDocuments, QuestionsOfTheFaqNameTheirSections) {
  const auto passages = passagesOf("faq.md");
  std::size_t questions = 0;
  for (const Chunk& c : passages) {
    EXPECT_EQ(c.section.find("Q:"), std::string::npos) << c.section;
    EXPECT_EQ(c.section.find("**"), std::string::npos) << c.section;
    questions += c.text.find("**Q:**") != std::string::npos;
    // One question a passage: none filed under another.
    const std::size_t first = c.text.find("**Q:**");
    if (first != std::string::npos) {
      EXPECT_EQ(c.text.find("**Q:**", first + 1), std::string::npos) << c.text;
    }
  }
  EXPECT_EQ(questions, 13u);
}

}  // namespace
}  // namespace quorvel
