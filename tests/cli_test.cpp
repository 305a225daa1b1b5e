// The command-line tool as a user runs it.
#include <gtest/gtest.h>

#include "test_support.h"

namespace quorvel {
namespace {

using test::permissions;
using test::readText;
using test::runCli;
using test::TempDir;
using test::writeText;

const std::string kUsage =
    "quorvel-cli setup            download the free models (one time)\n"
    "quorvel-cli import <files\xE2\x80\xA6>  add documents (txt, md, pdf, docx, rtf)\n"
    "quorvel-cli index            build the local search index\n"
    "quorvel-cli ask \"question\"   answer from the documents [--template=checkin|breakfast|transfer|rules|complaint]\n"
    "quorvel-cli bench q.json r.json\n"
    "quorvel-cli stop             stop the local model\n";

TEST(Cli, UsageForNoOrUnknownCommand) {
  for (const auto& args : std::vector<std::vector<std::string>>{{}, {"help"}, {"--help"}, {"nosuch"}, {"Import"}}) {
    auto r = runCli(args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, kUsage);
    EXPECT_EQ(r.err, "");
  }
}

TEST(Cli, ImportCountsAcceptedFilesAndTakesTopLevelOfFolders) {
  TempDir dir;
  const auto home = dir / "home";
  writeText(dir / "a.txt", "alpha");
  writeText(dir / "B.MD", "# Bravo");
  writeText(dir / "c.csv", "1,2");
  writeText(dir / "d.pages", "x");
  writeText(dir / "somefolder/e.html", "<p>echo</p>");
  writeText(dir / "somefolder/f.rtf", "{\\rtf1 f}");
  writeText(dir / "somefolder/deeper/g.txt", "not taken");
  fs::create_directories(dir / "somefolder/sub.md");  // a folder entry is passed on and fails to copy

  auto r = runCli({"import", (dir / "a.txt").string(), (dir / "B.MD").string(), (dir / "c.csv").string(),
                   (dir / "d.pages").string(), (dir / "somefolder").string() + "/"},
                  {{"QUORVEL_HOME", home.string()}});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "imported: 4\n");
  for (const char* name : {"a.txt", "B.MD", "e.html", "f.rtf"}) EXPECT_TRUE(fs::exists(home / "documents" / name));
  for (const char* name : {"c.csv", "d.pages", "g.txt", "sub.md"}) EXPECT_FALSE(fs::exists(home / "documents" / name));
  for (const char* sub : {"", "documents", "models", "logs"}) EXPECT_EQ(permissions(home / sub), 0700u) << sub;

  // Already there: nothing copied, nothing lost.
  r = runCli({"import", (home / "documents/a.txt").string()}, {{"QUORVEL_HOME", home.string()}});
  EXPECT_EQ(r.out, "imported: 0\n");
  EXPECT_EQ(readText(home / "documents/a.txt"), "alpha");

  // The same name from another folder replaces it.
  writeText(dir / "other/a.txt", "newer alpha");
  r = runCli({"import", (dir / "other/a.txt").string()}, {{"QUORVEL_HOME", home.string()}});
  EXPECT_EQ(r.out, "imported: 1\n");
  EXPECT_EQ(readText(home / "documents/a.txt"), "newer alpha");
}

TEST(Cli, ImportWithNothingPrintsZero) {
  TempDir dir;
  auto r = runCli({"import"}, {{"QUORVEL_HOME", (dir / "home").string()}});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "imported: 0\n");
  EXPECT_TRUE(fs::is_directory(dir / "home/documents"));
}

TEST(Cli, UnlistableFolderContributesNothing) {
  TempDir dir;
  auto r = runCli({"import", (dir / "no-such-folder").string(), (dir / "missing.txt").string()},
                  {{"QUORVEL_HOME", (dir / "home").string()}});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "imported: 0\n");
}

}  // namespace
}  // namespace quorvel
