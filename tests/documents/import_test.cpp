#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <map>

#include <quorvel/doc_import.h>
#include <quorvel/doc_index.h>
#include <quorvel/document_reader.h>
#include <quorvel/paths.h>

#include "test_support.h"

namespace quorvel {
namespace {

using test::readText;
using test::TempDir;
using test::TempHome;
using test::writeText;

std::vector<std::string> documentNames() {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(Paths::documents())) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(DocumentKinds, ExtensionIsLowerCasedBeforeTheTest) {
  EXPECT_TRUE(DocumentReader::isAllowed("Menu.PDF"));
  EXPECT_TRUE(DocumentReader::isAllowed("/a/b/notes.Markdown"));
  EXPECT_TRUE(DocumentReader::isAllowed("page.HTM"));
  EXPECT_FALSE(DocumentReader::isAllowed("data.csv"));
  EXPECT_FALSE(DocumentReader::isAllowed("report.pages"));
  EXPECT_FALSE(DocumentReader::isAllowed("txt"));
  EXPECT_FALSE(DocumentReader::isAllowed(".txt"));
  EXPECT_FALSE(DocumentReader::isAllowed("archive.txt.gz"));
  EXPECT_EQ(DocumentReader::extensionOf("x.tar.GZ"), "gz");
}

TEST(Import, EmptyListStillCreatesTheFolders) {
  TempHome home;
  EXPECT_EQ(DocImport::files({}), 0);
  EXPECT_TRUE(fs::is_directory(home.path() / "documents"));
  EXPECT_TRUE(fs::is_directory(home.path() / "models"));
}

TEST(Import, AcceptedKindsAreCopiedUnderTheirOwnNames) {
  TempHome home;
  TempDir src;
  writeText(src / "Menu.PDF", "%PDF");
  writeText(src / "rules.txt", "Quiet after 22:00.");
  writeText(src / "data.csv", "a,b");
  writeText(src / "report.pages", "x");
  EXPECT_EQ(DocImport::files(
                {src / "Menu.PDF", src / "rules.txt", src / "data.csv", src / "report.pages", src / "missing.txt"}),
            2);
  EXPECT_EQ(documentNames(), (std::vector<std::string>{"Menu.PDF", "rules.txt"}));
  EXPECT_EQ(readText(Paths::documents() / "rules.txt"), "Quiet after 22:00.");
  EXPECT_EQ(test::permissions(Paths::documents() / "rules.txt"), 0600u);
  EXPECT_TRUE(fs::exists(src / "rules.txt"));  // a copy, not a move
}

TEST(Import, SameNameFromAnotherFolderReplacesTheDocument) {
  TempHome home;
  TempDir a, b;
  writeText(a / "rules.pdf", "first");
  writeText(b / "rules.pdf", "second");
  EXPECT_EQ(DocImport::files({a / "rules.pdf"}), 1);
  EXPECT_EQ(DocImport::files({b / "rules.pdf"}), 1);
  EXPECT_EQ(documentNames(), std::vector<std::string>{"rules.pdf"});
  EXPECT_EQ(readText(Paths::documents() / "rules.pdf"), "second");
}

TEST(Import, FileAlreadyInTheDocumentsFolderIsLeftAlone) {
  TempHome home;
  Paths::ensure();
  writeText(Paths::documents() / "prices.txt", "Room 120 EUR");
  EXPECT_EQ(DocImport::files({Paths::documents() / "prices.txt"}), 0);
  EXPECT_EQ(DocImport::files({Paths::documents() / "." / ".." / "documents" / "prices.txt"}), 0);
  EXPECT_EQ(readText(Paths::documents() / "prices.txt"), "Room 120 EUR");
}

TEST(Import, DocumentReachedThroughASymbolicLinkIsNeverLost) {
  TempHome home;
  TempDir elsewhere;
  Paths::ensure();
  writeText(Paths::documents() / "prices.txt", "Room 120 EUR");
  fs::create_directory_symlink(Paths::documents(), elsewhere / "docs-link");
  EXPECT_EQ(DocImport::files({elsewhere / "docs-link" / "prices.txt"}), 0);
  EXPECT_EQ(readText(Paths::documents() / "prices.txt"), "Room 120 EUR");

  fs::create_symlink(Paths::documents() / "prices.txt", elsewhere / "prices.txt");
  EXPECT_EQ(DocImport::files({elsewhere / "prices.txt"}), 0);
  EXPECT_EQ(readText(Paths::documents() / "prices.txt"), "Room 120 EUR");
}

TEST(Import, FailedCopyKeepsTheEarlierDocumentAndLeavesNoLitter) {
  TempHome home;
  TempDir src;
  Paths::ensure();
  writeText(Paths::documents() / "menu.md", "old menu");
  fs::create_directories(src / "menu.md");  // a folder of that name cannot be copied
  EXPECT_EQ(DocImport::files({src / "menu.md"}), 0);
  EXPECT_EQ(readText(Paths::documents() / "menu.md"), "old menu");
  EXPECT_EQ(documentNames(), std::vector<std::string>{"menu.md"});
}

TEST(Import, FifosAndDevicesAreSkippedWithoutWaiting) {
  TempHome home;
  TempDir src;
  ASSERT_EQ(::mkfifo((src / "x.txt").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", src / "zero.txt");
  writeText(src / "rules.txt", "Quiet after 22:00.");
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(DocImport::files({src / "x.txt", src / "zero.txt", src / "rules.txt"}), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
  EXPECT_EQ(documentNames(), std::vector<std::string>{"rules.txt"});
}

// What is named as a document but is none, or is far too large for one, is
// not imported, and each is named with the reason; the rest comes in.
TEST(Import, SpecialAndHugeFilesAreNamedAndNotImported) {
  TempHome home;
  TempDir src;
  auto expected = test::makeSpecialFiles(src.path());
  // Sparse: gigabytes of size, no disk.
  for (const auto& [name, size] :
       std::vector<std::pair<std::string, std::uintmax_t>>{{"big.txt", 2'147'483'648u}, {"brochure.pdf", 200'000'001u}}) {
    writeText(src / name, "");
    fs::resize_file(src / name, size);
  }
  expected["big.txt"] = "too large: 2148 MB (a document may have at most 50 MB)";
  expected["brochure.pdf"] = "too large: 201 MB (a document may have at most 200 MB)";
  writeText(src / "rules.txt", "Quiet after 22:00.");
  std::vector<std::string> skipped;
  EXPECT_EQ(DocImport::paths({src.path()}, &skipped), 1);
  EXPECT_EQ(documentNames(), std::vector<std::string>{"rules.txt"});
  std::map<std::string, std::string> named;
  for (const auto& line : skipped) {
    const auto colon = line.find(": ");
    named[fs::path(line.substr(0, colon)).filename().string()] = line.substr(colon + 2);
  }
  EXPECT_EQ(named, expected);
  // Named one by one, the same.
  skipped.clear();
  EXPECT_EQ(DocImport::paths({src / "fifo.txt", src / "big.txt"}, &skipped), 0);
  EXPECT_EQ(skipped.size(), 2u);
}

// The limits at the start of reading, whatever put the file there: the
// size of its file by kind (pictures make PDF and Office files large), and
// the text a small file may unpack to.
TEST(DocumentReader, RefusesWhatIsNoDocumentBeforeReadingIt) {
  TempDir dir;
  for (const auto& [name, size] : std::vector<std::pair<std::string, std::uintmax_t>>{
           {"just.txt", 50'000'000u}, {"over.md", 50'000'001u}, {"scan.pdf", 120'000'000u}, {"huge.html", 4'000'000'000u}}) {
    writeText(dir / name, "");
    fs::resize_file(dir / name, size);
  }
  EXPECT_EQ(DocumentReader::refusal(dir / "just.txt"), std::nullopt);
  EXPECT_EQ(DocumentReader::refusal(dir / "scan.pdf"), std::nullopt);
  EXPECT_EQ(DocumentReader::refusal(dir / "missing.txt"), std::nullopt);
  std::vector<std::string> notes;
  EXPECT_FALSE(DocumentReader::text(dir / "over.md", &notes));
  EXPECT_EQ(notes, std::vector<std::string>{"too large: 51 MB (a document may have at most 50 MB)"});
  notes.clear();
  EXPECT_FALSE(DocumentReader::text(dir / "huge.html", &notes));
  EXPECT_EQ(notes, std::vector<std::string>{"too large: 4000 MB (a document may have at most 50 MB)"});
  for (const auto& [name, why] : test::makeSpecialFiles(dir.path())) {
    notes.clear();
    EXPECT_FALSE(DocumentReader::text(dir / name, &notes)) << name;
    EXPECT_EQ(notes, std::vector<std::string>{why}) << name;
  }
}

// A folder unpacked from an archive may hold links to anything: only what
// lies inside the folder comes in, and nothing of the system's ever does.
TEST(Import, LinksLeavingTheImportedFolderAreSkippedAndNamed) {
  TempHome home;
  TempDir from, elsewhere;
  writeText(from / "rules.md", "Quiet after 22:00.");
  fs::create_symlink(from / "rules.md", from / "same-rules.md");
  writeText(elsewhere / "private.txt", "Somebody's diary.");
  fs::create_symlink(elsewhere / "private.txt", from / "diary.txt");
  fs::create_symlink("/etc/passwd", from / "passwd.txt");
  fs::create_symlink("/proc/self/environ", from / "environ.txt");
  std::vector<std::string> skipped;
  EXPECT_EQ(DocImport::paths({from.path()}, &skipped), 2);
  EXPECT_EQ(documentNames(), (std::vector<std::string>{"rules.md", "same-rules.md"}));
  std::sort(skipped.begin(), skipped.end());
  ASSERT_EQ(skipped.size(), 3u);
  EXPECT_EQ(skipped[0].rfind((from / "diary.txt").string() + ": a link to ", 0), 0u) << skipped[0];
  EXPECT_NE(skipped[1].find("environ.txt: a system file (/proc/"), std::string::npos) << skipped[1];
  EXPECT_EQ(skipped[2],
            (from / "passwd.txt").string() + ": a link to /etc/passwd, outside " + fs::canonical(from.path()).string());
  // Named by itself, a link is the person's own choice, but the system's
  // files never are documents.
  EXPECT_EQ(DocImport::paths({from / "diary.txt", from / "environ.txt"}), 1);
  EXPECT_EQ(DocImport::files({from / "environ.txt"}), 0);
  EXPECT_FALSE(fs::exists(Paths::documents() / "environ.txt"));
}

// Whatever puts it into the documents folder, a link out of it is not read.
TEST(DocumentReader, NeverReadsTheSystemsFiles) {
  TempDir dir;
  fs::create_symlink("/proc/self/environ", dir / "environ.txt");
  std::vector<std::string> notes;
  EXPECT_FALSE(DocumentReader::text(dir / "environ.txt", &notes).has_value());
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].rfind("a system file (/proc/", 0), 0u) << notes[0];
}

TEST(Import, TemporariesLeftByACrashAreRemovedLater) {
  TempHome home;
  TempDir src;
  Paths::ensure();
  const fs::path old = Paths::documents() / ".import-AbC123", fresh = Paths::documents() / ".import-XyZ789";
  writeText(old, std::string(1000, 'x'));
  writeText(fresh, "being written by another import right now");
  fs::last_write_time(old, fs::file_time_type::clock::now() - std::chrono::minutes(5));
  writeText(src / "menu.md", "menu");
  EXPECT_EQ(DocImport::files({src / "menu.md"}), 1);
  EXPECT_FALSE(fs::exists(old));
  EXPECT_TRUE(fs::exists(fresh));  // may belong to an import under way
}

}  // namespace
}  // namespace quorvel
