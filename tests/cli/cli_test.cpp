// The command-line tool as a user runs it.
#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>
#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <fstream>
#include <regex>
#include <set>
#include <thread>

#include <quorvel/history.h>
#include <quorvel/lang.h>
#include <quorvel/models.h>

#include "fixture_builders.h"
#include "platform/local_http.h"
#include "platform/process.h"
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
    "quorvel-cli gaps             what guests asked that the documents do not answer [--days N] [--json]\n"
    "quorvel-cli gaps --answer N \"text\"  add the desk's answer to question N of that list\n"
    "quorvel-cli forget \"text\"    remove every kept message and reply that contains the text (a guest's name)\n"
    "                             (or on standard input: echo \"Anna Kowalska\" | quorvel-cli forget)\n"
    "quorvel-cli stop             stop the local model\n"
    "A message given to ask on standard input (quorvel-cli ask < message.txt) is never in sight of\n"
    "other users of the computer; one given as an argument is hidden once read, not before.\n";

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

// Special files and a file of gigabytes named as documents: each is named
// on standard error, and an import of nothing else is no success.
TEST(Cli, ImportNamesWhatIsNoDocumentAndFailsWhenNothingCameIn) {
  TempDir dir;
  fs::create_directories(dir / "from");
  auto refused = test::makeSpecialFiles(dir / "from");
  refused.erase("folder.pdf");  // named by itself, a folder gives its entries
  writeText(dir / "from/big.txt", "");
  fs::resize_file(dir / "from/big.txt", 2'147'483'648u);  // sparse: no disk
  refused["big.txt"] = "too large: 2148 MB (a document may have at most 50 MB)";
  std::vector<std::string> args{"import"};
  for (const auto& [name, why] : refused) args.push_back((dir / "from" / name).string());
  const std::map<std::string, std::string> env{{"QUORVEL_HOME", (dir / "home").string()}};
  auto r = runCli(args, env);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "imported: 0\n");
  for (const auto& [name, why] : refused)
    EXPECT_NE(r.err.find("quorvel-cli: skipped " + (dir / "from" / name).string() + ": " + why + "\n"),
              std::string::npos)
        << r.err;
  EXPECT_TRUE(fs::is_empty(dir / "home/documents"));
  // Beside a document: that one comes in, the others are still named.
  writeText(dir / "rules.txt", "Quiet after 22:00.");
  args.push_back((dir / "rules.txt").string());
  r = runCli(args, env);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "imported: 1\n");
  EXPECT_NE(r.err.find("big.txt: too large"), std::string::npos) << r.err;
}

class CliEngineTest : public ::testing::Test {
 protected:
  TempDir dir;
  TempDir emptyPath;
  std::map<std::string, std::string> env{{"QUORVEL_HOME", (dir / "home").string()},
                                         {"PATH", emptyPath.path().string()}};
  void SetUp() override { test::stopModelServers(); }
  void TearDown() override { test::stopModelServers(); }
};

TEST_F(CliEngineTest, EngineCheckSaysWhatIsMissingAndWhatToDo) {
  for (const char* command : {"index", "ask", "bench"}) {
    auto r = runCli({command, "x", "y"}, env);
    EXPECT_EQ(r.out, "engine: engine not found\n") << command;
    EXPECT_EQ(r.status, 1);
    // Where it was looked for, and where to read how to install it.
    EXPECT_NE(r.err.find("llama-server was not found in "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find((dir / "home/engine").string()), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("The models and llama-server"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("quorvel-cli setup"), std::string::npos) << r.err;
  }
  test::prepareStandInHome(dir / "home", /*chatModel=*/false);
  auto r = runCli({"index"}, env);
  EXPECT_EQ(r.out, "engine: model not downloaded\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "quorvel-cli: the model files are not in " + (dir / "home/models").string() +
                       ": run `quorvel-cli setup` to download them (one time).\n");

  // Everything there: no advice at all.
  test::prepareStandInHome(dir / "home");
  r = runCli({"index"}, env);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
}

TEST(Cli, AFolderMadeByHandIsMadePrivate) {
  TempDir dir;
  for (const char* sub : {"home", "home/documents", "home/logs"}) {
    fs::create_directories(dir / sub);
    fs::permissions(dir / sub, fs::perms(0755));
  }
  auto r = runCli({"import"}, {{"QUORVEL_HOME", (dir / "home").string()}});
  EXPECT_EQ(r.status, 0);
  for (const char* sub : {"home", "home/documents", "home/logs", "home/models"})
    EXPECT_EQ(permissions(dir / sub), 0700u) << sub;
}

TEST_F(CliEngineTest, StopEndsTheServers) {
  test::prepareStandInHome(dir / "home");
  runCli({"index"}, env);  // starts both servers and leaves them running
  EXPECT_EQ(LocalHTTP::getStatus("http://127.0.0.1:18431/health", std::chrono::seconds(1)), 200);
  auto r = runCli({"stop"}, env);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "stopped\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(LocalHTTP::getStatus("http://127.0.0.1:18431/health", std::chrono::seconds(1)), 0);
  EXPECT_EQ(LocalHTTP::getStatus("http://127.0.0.1:18432/health", std::chrono::seconds(1)), 0);
}

TEST_F(CliEngineTest, ImportThenIndexMixedDocuments) {
  test::prepareStandInHome(dir / "home");
  const auto docs = dir / "docs";
  writeText(docs / "rules.md", "# House rules\n\nQuiet hours from 22:00.\n\n## Pets\n\nPets are welcome.");
  writeText(docs / "prices.txt", "Double room 120 EUR.");
  writeText(docs / "page.html", "<h1>Pool</h1><p>Open 8-20.</p>");
  writeText(docs / "letter.rtf", "{\\rtf1 Late check-out until 14:00.\\par}");
  test::makeDocx(docs / "menu.docx", "<w:p><w:r><w:t>Dinner from 19:00.</w:t></w:r></w:p>");
  test::makePdf(docs / "map.pdf", {{{"The beach is 200 m away."}}});
  fs::copy_file(QUORVEL_FIXTURES "/legacy-long.doc", docs / "old.doc");
  writeText(docs / "skip.csv", "a,b");

  auto r = runCli({"import", docs.string()}, env);
  EXPECT_EQ(r.out, "imported: 7\n");
  r = runCli({"index"}, env);
  EXPECT_EQ(r.status, 0) << r.err;
  std::vector<std::string> lines;
  std::istringstream in(r.out);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  ASSERT_EQ(lines.size(), 8u) << r.out;
  EXPECT_EQ(
      std::vector<std::string>(lines.begin(), lines.end() - 1),
      (std::vector<std::string>{"indexing letter.rtf", "indexing map.pdf", "indexing menu.docx", "indexing old.doc",
                                "indexing page.html", "indexing prices.txt", "indexing rules.md"}));
  EXPECT_TRUE(std::regex_match(lines.back(), std::regex(R"(files: 7, passages: \d+, \d+\.\d s)"))) << lines.back();

  r = runCli({"index"}, env);
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(std::regex_match(r.out, std::regex(R"(files: 7, passages: \d+, \d+\.\d s\n)"))) << r.out;
}

// Documents made the way hotels make them: the last fact of each is found
// and cited, and an index cut by an earlier version is cut again once.
TEST_F(CliEngineTest, TheLastFactOfARealDocumentIsFoundAndCited) {
  test::prepareStandInHome(dir / "home");
  const std::string fixtures = QUORVEL_FIXTURES "/real-documents/";
  fs::create_directories(dir / "home/documents");
  for (const char* name : {"house-rules.docx", "house-rules.pdf", "booking-export.txt", "website.html"})
    fs::copy_file(fixtures + name, dir / "home/documents" / name);
  ASSERT_EQ(runCli({"index"}, env).status, 0);

  struct Ask {
    const char* question;
    const char* fact;
    const char* file;
  };
  for (const Ask& a : {Ask{"How long is lost property kept?", "90 days", "house-rules.docx"},
                       Ask{"What happens with payments after an official travel ban?", "refunded in full", "booking-export.txt"}}) {
    const auto r = runCli({"ask", a.question}, env);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(a.fact), std::string::npos) << a.question << "\n" << r.out;
    EXPECT_TRUE(std::regex_search(r.out, std::regex(std::string(R"(\[\d+\].*\n  \[\d+\] )") + a.file))) << r.out;
  }

  // An index of the version that cut by blank lines only is cut again, once.
  std::string saved = readText(dir / "home/index.json");
  saved.replace(saved.find("\"cutting\":"), std::string("\"cutting\":2,").size(), "");
  writeText(dir / "home/index.json", saved);
  auto r = runCli({"index"}, env);
  EXPECT_EQ(r.out.substr(0, r.out.find('\n')),
            "documents are read again: passages are now cut by the documents' own paragraphs and headings");
  EXPECT_NE(r.out.find("indexing house-rules.docx"), std::string::npos) << r.out;
  r = runCli({"index"}, env);
  EXPECT_EQ(r.out.find("read again"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("indexing"), std::string::npos) << r.out;
}

TEST_F(CliEngineTest, IndexFailsWhenEmbeddingFails) {
  test::prepareStandInHome(dir / "home");
  writeText(dir / "home/documents/a.txt", "Alpha.");
  env["QUORVEL_STANDIN_ERROR"] = "embed";
  auto r = runCli({"index"}, env);
  EXPECT_NE(r.status, 0);
  EXPECT_EQ(r.out, "indexing a.txt\n");
  EXPECT_NE(r.err.find("embeddings failed"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir / "home/index.json"));
}

// A page whose drawing never ends costs its time limit, not the reading:
// the documents after it are indexed, and it is named with the reason.
TEST_F(CliEngineTest, AnEndlessPageIsNamedAndTheOtherDocumentsAreIndexed) {
  test::prepareStandInHome(dir / "home");
  const fs::path docs = dir / "home/documents";
  for (int i = 1; i <= 9; ++i)
    writeText(docs / ("doc" + std::to_string(i) + ".md"), "# Room " + std::to_string(i) + "\n\nA quiet room.");
  test::makeEndlessPdf(docs / "doc5-scan.pdf");
  auto r = runCli({"index"}, env);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("not read: doc5-scan.pdf (page 1 could not be drawn within 30 s)\n"), std::string::npos)
      << r.out;
  EXPECT_TRUE(std::regex_search(r.out, std::regex(R"(\nfiles: 9, passages: 9, \d+\.\d s\n$)"))) << r.out;
  // Still named on the next run, which tries it again.
  r = runCli({"index"}, env);
  EXPECT_NE(r.out.find("not read: doc5-scan.pdf"), std::string::npos) << r.out;
}

// A reading killed while it waits for a slow document keeps what it did.
TEST_F(CliEngineTest, AKilledReadingKeepsTheDocumentsAlreadyDone) {
  test::prepareStandInHome(dir / "home");
  const fs::path docs = dir / "home/documents";
  writeText(docs / "a.md", "Breakfast from 7:00.");
  writeText(docs / "b.md", "Parking is free.");
  test::makeEndlessPdf(docs / "c.pdf");
  writeText(docs / "d.md", "The pool opens at 8:00.");
  Subprocess::Options o;
  o.out = Subprocess::Stream::toFile;
  o.outFile = dir / "index-out.txt";
  o.environment = test::environmentWith(env);
  Subprocess index({QUORVEL_CLI, "index"}, o);
  ASSERT_TRUE(index.started());
  // Waiting for c.pdf's drawing: a and b are done and must be saved.
  for (int i = 0; i < 1200 && !fs::exists(dir / "home/index.json"); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_TRUE(index.running()) << readText(dir / "index-out.txt");
  index.kill();
  index.wait();
  // Its drawing helper, orphaned, would end by its processor limit; no need
  // to let it spin meanwhile.
  Subprocess::run({"pkill", "-f", (docs / "c.pdf").string()}, std::chrono::seconds(10), 0);
  const auto saved = nlohmann::json::parse(readText(dir / "home/index.json"));
  std::set<std::string> files;
  for (const auto& c : saved["chunks"]) files.insert(c["file"].get<std::string>());
  EXPECT_EQ(files, (std::set<std::string>{"a.md", "b.md"}));
  // The next reading goes on from there.
  auto r = runCli({"index"}, env);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.find("indexing a.md"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("indexing d.md"), std::string::npos) << r.out;
  EXPECT_TRUE(std::regex_search(r.out, std::regex(R"(\nfiles: 3, passages: 3, )"))) << r.out;
}

// Started again with its thread limit, the tool keeps its own name.
TEST_F(CliEngineTest, TheToolKeepsItsNameAfterStartingItselfAgain) {
  test::prepareStandInHome(dir / "home");
  const fs::path fifo = dir / "question";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  Subprocess::Options o;
  o.input = fifo;  // the question comes later: the tool waits for it
  auto environment = env;
  environment["OMP_THREAD_LIMIT"] = "";
  o.environment = test::environmentWith(environment);
  // Held open for writing first, so that the tool's open does not wait.
  const int writer = ::open(fifo.c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(writer, 0);
  Subprocess ask({QUORVEL_CLI, "ask"}, o);
  ASSERT_TRUE(ask.started());
  std::string comm;
  for (int i = 0; i < 200 && comm != "quorvel-cli\n"; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    comm = readText("/proc/" + std::to_string(ask.pid()) + "/comm");
  }
  EXPECT_EQ(comm, "quorvel-cli\n");
  ::close(writer);
  ask.wait(std::chrono::minutes(1));
}

class CliAskTest : public CliEngineTest {
 protected:
  void SetUp() override {
    CliEngineTest::SetUp();
    test::prepareStandInHome(dir / "home");
    writeText(dir / "home/documents/rules.md",
              "# Breakfast\n\nBreakfast is served from 7:00 to 10:30 on the terrace.\n\n"
              "# Parking\n\nParking in the courtyard is free for guests.");
    ASSERT_EQ(runCli({"index"}, env).status, 0);
  }
  std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
  }
};

// An index.json that cannot be read (here nested 100,000 deep) leaves no
// passages: the answer comes with a word why and what to do.
TEST_F(CliAskTest, ADamagedIndexIsSaidAndReadingAgainMendsIt) {
  writeText(dir / "home/index.json", "{\"files\":" + std::string(100000, '[') + std::string(100000, ']') + "}");
  auto r = runCli({"ask", "What time is breakfast?"}, env);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "quorvel-cli: " + (dir / "home/index.json").string() +
                       " could not be read (damaged): run `quorvel-cli index` to read the documents again.\n");
  EXPECT_EQ(runCli({"index"}, env).status, 0);
  r = runCli({"ask", "What time is breakfast?"}, env);
  EXPECT_EQ(r.err, "");
  EXPECT_NE(r.out.find("7:00"), std::string::npos) << r.out;
}

TEST_F(CliAskTest, PrintsTheReplyItsSourcesAndTheSpeed) {
  env["QUORVEL_DEBUG"] = "1";
  auto r = runCli({"ask", "What time is breakfast?"}, env);
  ASSERT_EQ(r.status, 0) << r.err;
  const auto out = lines(r.out);
  ASSERT_EQ(out.size(), 3u) << r.out;
  EXPECT_EQ(out[0], "Breakfast is served from 7:00 to 10:30 on the terrace [1].");
  EXPECT_EQ(out[1], "  [1] rules.md \u2014 Breakfast");
  EXPECT_TRUE(std::regex_match(out[2], std::regex("  \\d+ tok/s \u00B7 \\d+\\.\\d\\d s \u00B7 en"))) << out[2];
  EXPECT_NE(r.err.find("RAW: Breakfast is served"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("VERIFY: 1: YES"), std::string::npos) << r.err;
  EXPECT_EQ(lines(test::readText(dir / "home/history.jsonl")).size(), 1u);

  // Several words make one question; other "--" words are ignored.
  env.erase("QUORVEL_DEBUG");
  r = runCli({"ask", "--verbose", "Is", "parking", "free?"}, env);
  EXPECT_EQ(lines(r.out).at(0), "Parking in the courtyard is free for guests [1].");
  EXPECT_EQ(r.err, "");
}

TEST_F(CliAskTest, TemplatesAndStandardInput) {
  // A template needs no question: standard input (closed here) is not read.
  auto r = runCli({"ask", "--template=breakfast"}, env);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(lines(r.out).at(0), "Breakfast is served from 7:00 to 10:30 on the terrace [1].");
  const auto history = nlohmann::json::parse(lines(test::readText(dir / "home/history.jsonl")).back());
  EXPECT_EQ(history["question"], "Breakfast");

  // No words and no template: one line from standard input.
  r = runCli({"ask"}, env, std::string("Is parking free?\r\nignored second line\n"));
  EXPECT_EQ(lines(r.out).at(0), "Parking in the courtyard is free for guests [1].");
  EXPECT_EQ(nlohmann::json::parse(lines(test::readText(dir / "home/history.jsonl")).back())["question"],
            "Is parking free?");

  // An unknown template is no template, and no warning.
  r = runCli({"ask", "--template=nosuch", "parking?"}, env);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(nlohmann::json::parse(lines(test::readText(dir / "home/history.jsonl")).back())["question"], "parking?");
  EXPECT_EQ(r.err, "");

  // Nothing in the documents, in the guest's language.
  r = runCli({"ask", "\u0415\u0441\u0442\u044c \u043b\u0438 \u0441\u0430\u0443\u043d\u0430?"}, env);
  EXPECT_EQ(lines(r.out).at(0), Lang::notInDocs("ru"));
  EXPECT_TRUE(lines(r.out).at(1).ends_with(" ru"));
}

// Every user of the computer can read a process's arguments: the guest's
// message is gone from them before the model is asked, for all the seconds
// the reply takes; the chosen template may stay.
TEST_F(CliAskTest, TheGuestsMessageIsOutOfOtherUsersSightWhileTheReplyIsWritten) {
  test::stopModelServers();  // started again by the ask, with a slow model
  const fs::path record = dir / "requests.jsonl";
  env["QUORVEL_STANDIN_REPLY_DELAY_MS"] = "4000";
  env["QUORVEL_STANDIN_RECORD"] = record.string();
  Subprocess::Options o;
  o.environment = test::environmentWith(env);
  Subprocess ask({QUORVEL_CLI, "ask", "--template=checkin", "Hello, I am Anna Kowalska,", "passport PL998877, room 12"},
                 o);
  ASSERT_TRUE(ask.started());
  ASSERT_TRUE(test::waitFor([&] {
    return fs::exists(record) && readText(record).find("/v1/chat/completions") != std::string::npos;
  }));
  ASSERT_TRUE(ask.running());  // the reply is still being written
  const std::string seen = readText("/proc/" + std::to_string(ask.pid()) + "/cmdline");
  EXPECT_EQ(seen.find("Kowalska"), std::string::npos);
  EXPECT_EQ(seen.find("PL998877"), std::string::npos);
  EXPECT_EQ(seen.substr(0, seen.find('\0')), QUORVEL_CLI);
  EXPECT_NE(seen.find("--template=checkin"), std::string::npos);
  if (const auto other = test::commandLineSeenByAnotherUser(ask.pid())) {
    EXPECT_NE(other->find("--template=checkin"), std::string::npos) << "nothing read";
    EXPECT_EQ(other->find("PL998877"), std::string::npos);
  }
  EXPECT_EQ(ask.wait(std::chrono::minutes(2)).status, 0);
  // The answering had the whole message.
  const auto history = nlohmann::json::parse(lines(readText(dir / "home/history.jsonl")).back());
  EXPECT_EQ(history["question"], "Hello, I am Anna Kowalska, passport PL998877, room 12");
}

TEST_F(CliAskTest, ModelServerFaultsAreErrorsNotAnswers) {
  for (const char* fault : {"QUORVEL_STANDIN_ERROR", "QUORVEL_STANDIN_MISSING_FIELDS"}) {
    test::stopModelServers();
    auto faulty = env;
    faulty[fault] = "chat";
    auto r = runCli({"ask", "What time is breakfast?"}, faulty);
    EXPECT_EQ(r.status, 2) << fault << ": " << r.out;
    EXPECT_EQ(r.out.find(Lang::notInDocs("en")), std::string::npos) << fault;
    EXPECT_NE(r.err.find("model server"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "home/history.jsonl")) << fault;
  }
  test::stopModelServers();
}

// The history keeps the message as the answering used it, no more.
TEST_F(CliAskTest, AHugeMessageIsCutToFitAndRecordedAsAnswered) {
  test::stopModelServers();
  env["QUORVEL_STANDIN_RECORD"] = (dir / "requests.jsonl").string();
  std::string message = "What time is breakfast? ";
  while (message.size() < (1 << 20)) message += "Please tell me everything about the hotel and the town. ";
  auto r = runCli({"ask"}, env, message + "\n");
  ASSERT_EQ(r.status, 0) << r.err;
  std::ifstream in(dir / "requests.jsonl");
  std::size_t chats = 0;
  for (std::string l; std::getline(in, l);) {
    const auto j = nlohmann::json::parse(l);
    if (j["path"] != "/v1/chat/completions") continue;
    ++chats;
    const std::string user = j["body"]["messages"][1]["content"];
    EXPECT_LT(user.size(), 40000u);  // far inside 8,192 tokens
  }
  EXPECT_GE(chats, 1u);
  const auto stored = nlohmann::json::parse(lines(readText(dir / "home/history.jsonl")).back());
  EXPECT_EQ(stored["question"], message.substr(0, 1000) + "\u2026");
}

TEST_F(CliAskTest, AnAnswerThatCannotBeRecordedIsStillGivenWithAWarning) {
  fs::create_directories(dir / "home/history.jsonl");
  auto r = runCli({"ask", "What time is breakfast?"}, env);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(lines(r.out).at(0), "Breakfast is served from 7:00 to 10:30 on the terrace [1].");
  EXPECT_NE(r.err.find("could not be recorded"), std::string::npos) << r.err;
}

TEST_F(CliAskTest, BenchAnswersAFileOfQuestions) {
  writeText(dir / "q.json",
            R"([{"q":"What time is breakfast?","expect":"7:00"},)"
            R"({"q":"Is there a sauna?","answer":"old","notes":{"k":[1,2]}},{"q":"Is parking free?"}])");
  auto r = runCli({"bench", (dir / "q.json").string(), (dir / "r.json").string()}, env);
  ASSERT_EQ(r.status, 0) << r.err;
  const auto out = lines(r.out);
  ASSERT_EQ(out.size(), 9u) << r.out;
  EXPECT_EQ(out[0], "1. What time is breakfast?");
  EXPECT_EQ(out[1], "   \u2192 Breakfast is served from 7:00 to 10:30 on the terrace [1].");
  EXPECT_TRUE(std::regex_match(out[2], std::regex("   rules\\.md \u00B7 \\d+ tok/s, \\d+\\.\\d\\d s"))) << out[2];
  EXPECT_EQ(out[4], "   \u2192 " + Lang::notInDocs("en"));
  EXPECT_TRUE(std::regex_match(out[5], std::regex("    \u00B7 \\d+ tok/s, \\d+\\.\\d\\d s"))) << out[5];

  const std::string written = test::readText(dir / "r.json");
  const auto results = nlohmann::json::parse(written);
  ASSERT_EQ(results.size(), 3u);
  EXPECT_EQ(results[0]["expect"], "7:00");
  EXPECT_EQ(results[0]["sources"], nlohmann::json::array({"rules.md \u2014 Breakfast"}));
  EXPECT_EQ(results[0]["lang"], "en");
  EXPECT_TRUE(results[0]["tokens"].is_number_integer());
  EXPECT_EQ(results[1]["answer"], Lang::notInDocs("en"));  // replaced
  EXPECT_EQ(results[1]["notInDocs"], true);
  EXPECT_EQ(results[1]["notes"], nlohmann::json::parse(R"({"k":[1,2]})"));
  EXPECT_EQ(results[1]["sources"], nlohmann::json::array());
  // Pretty-printed, keys sorted.
  EXPECT_NE(written.find("[\n  {\n    \"answer\": "), std::string::npos) << written.substr(0, 80);
  EXPECT_LT(written.find("\"answer\""), written.find("\"expect\""));
  EXPECT_LT(written.find("\"seconds\""), written.find("\"tps\""));
  EXPECT_EQ(lines(test::readText(dir / "home/history.jsonl")).size(), 3u);
}

TEST_F(CliAskTest, BenchRefusesMalformedRuns) {
  writeText(dir / "empty.json", "[]");
  auto r = runCli({"bench", (dir / "empty.json").string(), (dir / "out.json").string()}, env);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(nlohmann::json::parse(test::readText(dir / "out.json")), nlohmann::json::array());

  for (const char* bad : {R"({"q":"x"})", R"([{"q":"x"},1])", R"([{"question":"x"}])", R"([{"q":5}])"}) {
    writeText(dir / "bad.json", bad);
    r = runCli({"bench", (dir / "bad.json").string(), (dir / "never.json").string()}, env);
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_TRUE(r.out.starts_with("bench: ")) << r.out;
    EXPECT_FALSE(fs::exists(dir / "never.json"));
  }
  r = runCli({"bench", (dir / "q.json").string()}, env);
  EXPECT_EQ(r.status, 2);
  r = runCli({"bench", (dir / "missing.json").string(), (dir / "never.json").string()}, env);
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("missing.json"), std::string::npos);
  writeText(dir / "notjson.json", "{oops");
  r = runCli({"bench", (dir / "notjson.json").string(), (dir / "never.json").string()}, env);
  EXPECT_NE(r.status, 0);
  EXPECT_FALSE(fs::exists(dir / "never.json"));
  EXPECT_EQ(History::count(), 0);
}

TEST_F(CliEngineTest, IndexOnAFullDiskIsAnErrorAndKeepsTheOldIndex) {
  test::SmallDisk disk(1 << 20);
  if (!disk.ok()) GTEST_SKIP() << "a small tmpfs cannot be mounted here (needs root)";
  const fs::path home = disk.path() / "home";
  env["QUORVEL_HOME"] = home.string();
  test::prepareStandInHome(home);
  writeText(home / "documents/a.txt", "Alpha. Breakfast from seven.");
  ASSERT_EQ(runCli({"index"}, env).status, 0);
  const std::string saved = readText(home / "index.json");
  writeText(home / "documents/b.txt", "Bravo. Parking is free.");
  disk.fill();
  auto r = runCli({"index"}, env);
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("index.json"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("No space left"), std::string::npos) << r.err;
  EXPECT_EQ(r.out.find("files:"), std::string::npos) << r.out;
  EXPECT_EQ(readText(home / "index.json"), saved);
  disk.unfill();
  r = runCli({"index"}, env);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("files: 2"), std::string::npos) << r.out;
}

TEST_F(CliEngineTest, HostileNamesAndFilesInTheDocumentsFolder) {
  test::prepareStandInHome(dir / "home");
  const fs::path docs = dir / "home/documents";
  writeText(docs / "evil\x1b[31mred\nline.txt", "Check-in from 15:00.");
  writeText(docs / "caf\xE9-latin1.txt", "Coffee all day.");  // a name that is not UTF-8
  ASSERT_EQ(::mkfifo((docs / "pipe.txt").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", docs / "zero.md");
  // A link out of the documents folder: never read, and named.
  writeText(dir / "outside/secret.txt", "The safe's code is 4242.");
  fs::create_symlink(dir / "outside/secret.txt", docs / "secret.txt");
  auto r = runCli({"index"}, env);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("indexing evil\\x1b[31mred\\nline.txt\n"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
  EXPECT_EQ(r.out.find("indexing secret.txt"), std::string::npos) << r.out;
  // Known by their exact names: nothing is embedded again.
  r = runCli({"index"}, env);
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string outside = fs::canonical(dir / "outside").string();
  EXPECT_EQ(r.out, "not read: pipe.txt (a FIFO (named pipe), not a document)\nnot read: secret.txt (a link to " +
                       outside + "/secret.txt, outside " + fs::canonical(docs).string() +
                       ")\nnot read: zero.md (a system file (/dev/zero), never read)\n" +
                       r.out.substr(r.out.rfind("files:")));
  EXPECT_TRUE(std::regex_search(r.out, std::regex(R"(\nfiles: 2, passages: 2, \d+\.\d s\n$)"))) << r.out;
  EXPECT_TRUE(nlohmann::json::accept(readText(dir / "home/index.json")));
}

// In the documents folder, whatever put them there: what is no document
// or far too large for one is named with the reason and never read; the
// other documents are indexed as usual.
TEST_F(CliEngineTest, WhatIsNoDocumentOrTooLargeIsNamedAndTheRestIndexed) {
  test::prepareStandInHome(dir / "home");
  const fs::path docs = dir / "home/documents";
  auto refused = test::makeSpecialFiles(docs);
  writeText(docs / "big.txt", "");
  fs::resize_file(docs / "big.txt", 2'147'483'648u);  // sparse: no disk
  refused["big.txt"] = "too large: 2148 MB (a document may have at most 50 MB)";
  writeText(docs / "rules.md", "# Breakfast\n\nBreakfast is served from 7:00.");
  auto r = runCli({"index"}, env);
  ASSERT_EQ(r.status, 0) << r.err;
  for (const auto& [name, why] : refused)
    EXPECT_NE(r.out.find("not read: " + name + " (" + why + ")\n"), std::string::npos) << r.out;
  EXPECT_TRUE(std::regex_search(r.out, std::regex(R"(\nfiles: 1, passages: 1, \d+\.\d s\n$)"))) << r.out;
}

TEST_F(CliEngineTest, AProgramOfAnotherKindOnTheChatPortIsNotUsed) {
  test::prepareStandInHome(dir / "home");
  std::atomic<int> chats{0};
  test::LocalServer other;
  other.server().Get("/health", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(R"({"status":"ok"})", "application/json");
  });
  other.server().Get("/props", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(R"({"model_path":"/srv/someone-elses-model.gguf"})", "application/json");
  });
  other.server().Post(R"(/.*)", [&chats](const httplib::Request&, httplib::Response& res) {
    ++chats;
    res.set_content("{}", "application/json");
  });
  other.start(18431);
  auto r = runCli({"ask", "What is the wifi password?"}, env);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "engine: port 18431 is used by another program (quorvel-cli stop ends a model server of ours)\n");
  EXPECT_EQ(chats, 0);
}

// Serves every catalogue file as zeros of its full size, ranges honoured.
class ModelMirror {
 public:
  ModelMirror() {
    http_.server().Get(R"(/.*\.gguf)", [this](const httplib::Request& req, httplib::Response& res) {
      ++requests;
      std::uintmax_t size = 0;
      for (const ModelSpec* m : {&ModelCatalog::embedding(), &ModelCatalog::chat()[0], &ModelCatalog::chat()[1]})
        if (m->url.size() >= req.path.size() &&
            m->url.compare(m->url.size() - req.path.size(), req.path.size(), req.path) == 0)
          size = static_cast<std::uintmax_t>(m->sizeMB) * 1000000;
      if (size == 0) {
        res.status = 404;
        return;
      }
      // A whole GGUF header, then zeros.
      res.set_content_provider(size, "application/octet-stream",
                               [](size_t offset, size_t length, httplib::DataSink& sink) {
                                 static const std::string header = test::emptyGguf();
                                 static const std::string zeros(1 << 20, '\0');
                                 if (offset < header.size())
                                   sink.write(header.data() + offset, std::min(length, header.size() - offset));
                                 else
                                   sink.write(zeros.data(), std::min(length, zeros.size()));
                                 return true;
                               });
    });
    http_.start();
  }
  std::string base() const { return http_.base(); }
  std::atomic<int> requests{0};

 private:
  test::LocalServer http_;
};

TEST(CliSetup, DownloadsBothModelsOnceWithTenthsOfProgress) {
  TempDir dir;
  ModelMirror mirror;
  const auto home = dir / "home";
  const ModelSpec& chat = ModelCatalog::recommendedChat();
  // Most of the reply model was fetched by an earlier, interrupted setup.
  fs::create_directories(home / "models");
  const auto part = home / "models" / (chat.file + ".part");
  test::writeText(part, test::emptyGguf());
  fs::resize_file(part, static_cast<std::uintmax_t>(chat.sizeMB) * 1000000 - 3000000);

  std::map<std::string, std::string> env{{"QUORVEL_HOME", home.string()}, {"QUORVEL_MODEL_BASE_URL", mirror.base()}};
  auto r = runCli({"setup"}, env);
  EXPECT_EQ(r.status, 0) << r.err;
  std::istringstream lines(r.out);
  std::vector<std::string> got;
  for (std::string l; std::getline(lines, l);) got.push_back(l);
  ASSERT_GE(got.size(), 4u);
  EXPECT_EQ(got.front(), "model: Qwen3 Embedding 0.6B (search) (639 MB)");
  EXPECT_EQ(got.back(), "ok: " + (home / "models").string());
  const auto chatLine =
      std::find(got.begin(), got.end(), "model: " + chat.title + " (" + std::to_string(chat.sizeMB) + " MB)");
  ASSERT_NE(chatLine, got.end());
  // The search model from the first byte: one line per tenth, the first percentage seen in it.
  std::vector<std::string> embedLines(got.begin() + 1, chatLine);
  ASSERT_EQ(embedLines.size(), 11u);
  for (std::size_t i = 0; i < embedLines.size(); ++i) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(embedLines[i], m, std::regex("  (\\d+)%"))) << embedLines[i];
    EXPECT_EQ(std::stoi(m[1]) / 10, static_cast<int>(i));
  }
  EXPECT_EQ(embedLines.back(), "  100%");
  // The reply model resumed near its end.
  EXPECT_EQ(std::vector<std::string>(chatLine + 1, got.end() - 1), (std::vector<std::string>{"  99%", "  100%"}));
  EXPECT_EQ(fs::file_size(home / "models" / ModelCatalog::embedding().file), 639000000u);
  EXPECT_EQ(fs::file_size(home / "models" / chat.file), static_cast<std::uintmax_t>(chat.sizeMB) * 1000000);

  // Run again: both installed, no request, no percentages.
  const int before = mirror.requests;
  r = runCli({"setup"}, env);
  EXPECT_EQ(r.out, "model: Qwen3 Embedding 0.6B (search) (639 MB)\nmodel: " + chat.title + " (" +
                       std::to_string(chat.sizeMB) + " MB)\nok: " + (home / "models").string() + "\n");
  EXPECT_EQ(mirror.requests, before);

  // A model file that was cut off or overwritten stops the engine with its
  // name and what to do; setup downloads it again.
  const fs::path model = home / "models" / chat.file;
  test::writeText(model, "");
  fs::resize_file(model, static_cast<std::uintmax_t>(chat.sizeMB) * 1000000);
  test::prepareStandInHome(home);
  r = runCli({"index"}, env);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "engine: model file damaged: " + model.string() + " (not a GGUF model file)\n");
  EXPECT_EQ(r.err, "quorvel-cli: run `quorvel-cli setup` to download it again.\n");
  r = runCli({"setup"}, env);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(mirror.requests, before + 1);
  EXPECT_EQ(test::readText(model).substr(0, 4), "GGUF");
  EXPECT_EQ(runCli({"index"}, env).status, 0);
  test::stopModelServers();
}

TEST(CliSetup, FailedDownloadIsAnErrorWithoutOk) {
  TempDir dir;
  auto r =
      runCli({"setup"}, {{"QUORVEL_HOME", (dir / "home").string()}, {"QUORVEL_MODEL_BASE_URL", "http://127.0.0.1:1"}});
  EXPECT_NE(r.status, 0);
  EXPECT_EQ(r.out, "model: Qwen3 Embedding 0.6B (search) (639 MB)\n");
  EXPECT_NE(r.err.find("host unreachable"), std::string::npos) << r.err;
}

// The knowledge-gap list: plain lines, JSON, and by exact text when the
// search model cannot run.
TEST_F(CliEngineTest, GapsListsWhatTheDocumentsDidNotAnswer) {
  auto r = runCli({"gaps"}, env);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "No guest messages in the last 30 days.\n");

  fs::create_directories(dir / "home");
  auto answer = [](const std::string& question, bool notInDocs, const std::string& lang) {
    return test::historyAnswer(question, notInDocs, lang, std::chrono::system_clock::now() - std::chrono::hours(1))
               .toJson() +
           "\n";
  };
  std::ofstream(dir / "home/history.jsonl") << answer("When is breakfast?", false, "en");
  r = runCli({"gaps", "--days", "7"}, env);
  EXPECT_EQ(r.out, "Every guest message of the last 7 days (1) was answered from your documents.\n");

  std::ofstream(dir / "home/history.jsonl", std::ios::app)
      << answer("Do you have a gym?", true, "en") << "{damaged\n"
      << answer("do you have a GYM?", true, "en") << answer("Gibt es eine Sauna?", true, "de");
  r = runCli({"gaps"}, env);  // no model server here: by exact text
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("1 damaged line(s)"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("3 of 4 messages, 2 question(s)"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("grouped by exact text: the search model could not run: engine not found"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("\n1. 2 \u00D7 Do you have a gym?  [en \u00B7 "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\n2. 1 \u00D7 Gibt es eine Sauna?  [de \u00B7 "), std::string::npos) << r.out;
  EXPECT_TRUE(r.out.ends_with("\nAnswers you add go to " + (dir / "home/documents/front-desk-answers.md").string() +
                              ": quorvel-cli gaps --answer N \"the answer\"\n"))
      << r.out;

  r = runCli({"gaps", "--json", "--days=30"}, env);
  const auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["groupedBy"], "text");
  EXPECT_EQ(j["days"], 30);
  ASSERT_EQ(j["groups"].size(), 2u);
  EXPECT_EQ(j["groups"][1]["representative"], "Gibt es eine Sauna?");
  EXPECT_EQ(j["groups"][1]["languages"], nlohmann::json::array({"de"}));

  for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{{"--days=0"},
                                                                                   {"--weeks"},
                                                                                   {"--answer", "1"},
                                                                                   {"--answer", "3", "An answer."},
                                                                                   {"--answer", "x", "An answer."},
                                                                                   {"--answer", "0", "An answer."},
                                                                                   {"--answer", "1", " \n "}}) {
    std::vector<std::string> command{"gaps"};
    command.insert(command.end(), bad.begin(), bad.end());
    r = runCli(command, env);
    EXPECT_EQ(r.status, 2) << bad.front();
    EXPECT_FALSE(r.err.empty()) << bad.front();
    EXPECT_FALSE(fs::exists(dir / "home/documents/front-desk-answers.md")) << r.out;
  }

  // With the model servers: by meaning.
  test::prepareStandInHome(dir / "home");
  r = runCli({"gaps", "--json"}, env);
  EXPECT_EQ(nlohmann::json::parse(r.out)["groupedBy"], "meaning") << r.err;
}

// A guest's passport number in three entries (one made by ask itself) is
// forgotten from the whole support folder; an entry past the retention
// period is gone after the next ask, yesterday's stays.
TEST_F(CliAskTest, ForgetAGuestAndTheRetentionPeriodFromOutside) {
  const auto now = std::chrono::system_clock::now();
  auto answer = [&](const std::string& question, const std::string& reply, int daysAgo) {
    Answer a = test::historyAnswer(question, false, "en", now - std::chrono::hours(24) * daysAgo);
    a.text = reply;
    return a.toJson() + "\n";
  };
  const std::string old = answer("Can I pay by cheque?", "No [1].", 400);
  const std::string yesterday = answer("Do you have a gym?", "Yes [1].", 1);
  std::ofstream(dir / "home/history.jsonl", std::ios::app)
      << old << answer("My passport is PL998877. Can I check in at 11?", "From 14:00 [1].", 2) << yesterday
      << answer("Is parking free?", "Yes, Mr Kowalski (passport pl998877) [1].", 1);
  auto r = runCli({"ask", "Passport PL998877 here: when is breakfast?"}, env);
  ASSERT_EQ(r.status, 0) << r.err;
  std::string history = readText(dir / "home/history.jsonl");
  EXPECT_EQ(history.find(old), std::string::npos);
  EXPECT_NE(history.find(yesterday), std::string::npos);
  EXPECT_EQ(History::count(), 0);  // this process's own support folder is elsewhere

  r = runCli({"forget", "PL998877"}, env);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "3 removed\n");
  EXPECT_EQ(r.err, "");
  const test::RunResult grep = test::run("/usr/bin/grep", {"-ri", "PL998877", (dir / "home").string()});
  EXPECT_EQ(grep.status, 1) << grep.out;
  history = readText(dir / "home/history.jsonl");
  EXPECT_NE(history.find(yesterday), std::string::npos);
  EXPECT_EQ(lines(history), std::vector<std::string>{yesterday.substr(0, yesterday.size() - 1)});
  EXPECT_EQ(runCli({"forget", "PL998877"}, env).out, "0 removed\n");

  // 90 days in settings.json: the next ask removes an entry of 100 days.
  writeText(dir / "home/settings.json", R"({"keepHistoryDays": 90})");
  std::ofstream(dir / "home/history.jsonl", std::ios::app) << answer("Spring question", "Yes [1].", 100);
  ASSERT_EQ(runCli({"ask", "Is parking free?"}, env).status, 0);
  history = readText(dir / "home/history.jsonl");
  EXPECT_EQ(history.find("Spring question"), std::string::npos);
  EXPECT_EQ(lines(history).size(), 2u) << history;  // yesterday's and the new one

  r = runCli({"forget", "  "}, env);
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("forget needs the text"), std::string::npos) << r.err;

  // The name on standard input, out of other users' sight.
  std::ofstream(dir / "home/history.jsonl", std::ios::app) << answer("I am Jan Nowak, room 4", "Welcome [1].", 1);
  r = runCli({"forget"}, env, std::string("jan nowak\n"));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "1 removed\n");
  EXPECT_EQ(readText(dir / "home/history.jsonl").find("Nowak"), std::string::npos);

  // A history that is a link (planted where another user could) is never
  // written through: the file it names stays as it was.
  writeText(dir / "elsewhere.txt", "not the history\n");
  fs::remove(dir / "home/history.jsonl");
  fs::create_symlink(dir / "elsewhere.txt", dir / "home/history.jsonl");
  r = runCli({"ask", "Passport PL112233: is parking free?"}, env);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("could not be recorded"), std::string::npos) << r.err;
  EXPECT_EQ(readText(dir / "elsewhere.txt"), "not the history\n");
}

// From the unanswered list to a cited reply: the desk writes the missing
// answer once (the code the app uses too), the documents are read again, and
// the next guest gets it. The stand-in matches words, not meanings: a German
// question reaches the English answer only through a word they share ("Gym");
// "Fitnessstudio" shares none, so it stays unanswered here, in German.
TEST_F(CliAskTest, AnAnswerWrittenFromTheUnansweredListIsCitedToTheNextGuest) {
  auto r = runCli({"ask", "Do you have a gym?"}, env);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(lines(r.out).at(0), Lang::notInDocs("en"));
  r = runCli({"gaps"}, env);
  EXPECT_NE(r.out.find("\n1. 1 \u00D7 Do you have a gym?  [en \u00B7 "), std::string::npos) << r.out;

  r = runCli({"gaps", "--answer", "1", "Yes, we have a gym on the ground floor, open daily from 6:00 to 22:00."}, env);
  ASSERT_EQ(r.status, 0) << r.err;
  const fs::path file = dir / "home/documents/front-desk-answers.md";
  const auto out = lines(r.out);
  ASSERT_GE(out.size(), 3u) << r.out;
  EXPECT_EQ(out[0], "added to " + file.string() + ": Do you have a gym?");
  EXPECT_EQ(out[1], "indexing front-desk-answers.md");
  EXPECT_TRUE(out.back().starts_with("files: 2, passages: 3, ")) << out.back();
  EXPECT_TRUE(
      std::regex_match(readText(file), std::regex("## Do you have a gym\\?\n"
                                                  "Yes, we have a gym on the ground floor, open daily from "
                                                  "6:00 to 22:00\\.\nAdded: \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d\n")))
      << readText(file);

  // Asked in German, answered from the new section in German's turn.
  r = runCli({"ask", "Gibt es ein Gym im Hotel?"}, env);
  ASSERT_EQ(r.status, 0) << r.err;
  auto reply = lines(r.out);
  ASSERT_EQ(reply.size(), 3u) << r.out;
  std::smatch cited;  // the passages' numbers follow their rank
  ASSERT_TRUE(std::regex_match(
      reply[0], cited,
      std::regex("Yes, we have a gym on the ground floor, open daily from 6:00 to 22:00 \\[(\\d)\\]\\.")))
      << reply[0];
  EXPECT_EQ(reply[1], "  [" + cited[1].str() + "] front-desk-answers.md \u2014 Do you have a gym?");
  EXPECT_TRUE(reply[2].ends_with(" de")) << reply[2];
  r = runCli({"ask", "Gibt es ein Fitnessstudio?"}, env);
  EXPECT_EQ(lines(r.out).at(0), Lang::notInDocs("de"));
  EXPECT_TRUE(lines(r.out).at(1).ends_with(" de"));

  // The list: the gym answered and below the question still open.
  r = runCli({"gaps"}, env);
  const std::size_t open = r.out.find("\n1. 1 \u00D7 Gibt es ein Fitnessstudio?  [de \u00B7 ");
  const std::size_t gym = r.out.find("\n2. 1 \u00D7 Do you have a gym?  [en \u00B7 ");
  EXPECT_NE(open, std::string::npos) << r.out;
  ASSERT_NE(gym, std::string::npos) << r.out;
  EXPECT_TRUE(std::regex_search(r.out.substr(gym, r.out.find('\n', gym + 1) - gym),
                                std::regex(" \u00B7 answered \\d{4}-\\d\\d-\\d\\d\\]$")))
      << r.out;
  const auto j = nlohmann::json::parse(runCli({"gaps", "--json"}, env).out);
  EXPECT_TRUE(j["groups"][0]["answered"].is_null());
  EXPECT_TRUE(j["groups"][1]["answered"].is_string());

  // Answering it again replaces the section; the file stays one document.
  r = runCli({"gaps", "--answer", "2", "Yes, the gym on the ground floor is open from 5:00 to 23:00."}, env);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(readText(file).find("6:00"), std::string::npos);
  r = runCli({"ask", "Do you have a gym?"}, env);
  EXPECT_TRUE(lines(r.out).at(0).starts_with("Yes, the gym on the ground floor is open from 5:00 to 23:00 [")) << r.out;
}

}  // namespace
}  // namespace quorvel
