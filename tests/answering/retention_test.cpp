// How long guests' words are kept, forgetting one guest, and rewriting the
// history while other processes append.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>

#include <quorvel/desk_answers.h>
#include <quorvel/forget.h>
#include <quorvel/gaps.h>
#include <quorvel/history.h>
#include <quorvel/lang.h>
#include <quorvel/paths.h>

#include "fixture_builders.h"
#include "platform/text.h"
#include "test_support.h"

namespace quorvel {
namespace {

using test::readText;
using test::TempHome;
using test::writeText;

const TimePoint kNow = std::chrono::system_clock::now();

TimePoint daysAgo(int days) { return kNow - std::chrono::hours(24) * days; }

std::string unanswered(const std::string& question, int days) {
  return test::historyAnswer(question, true, "en", daysAgo(days)).toJson() + "\n";
}

std::string entry(const std::string& question, const std::string& reply, int days = 1) {
  Answer a = test::historyAnswer(question, false, "en", daysAgo(days));
  a.text = reply;
  return a.toJson() + "\n";
}

std::vector<std::string> gapQuestions() {
  std::vector<std::string> out;
  for (const auto& g : Gaps::find(3650, /*start=*/false).groups) out.push_back(g.representative);
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

// The default year and 90 days over entries of 400, 100 and 1 days, with
// the unanswered list before and after each removal. A damaged line is as
// old as the whole entry after it; one at the end stays.
TEST(Retention, TheDefaultYearAndNinetyDays) {
  TempHome home;
  Paths::ensure();
  const std::string old = unanswered("Can I pay by cheque?", 400), spring = unanswered("Is the pool heated?", 100),
                    recent = unanswered("Do you have a gym?", 1);
  writeText(Paths::historyFile(), "{\"question\":\"torn\n" + old + spring + recent + "{\"question\":\"torn at the end");
  EXPECT_EQ(Retention::days(), 365);
  // The list keeps within the period even before the removal has run.
  EXPECT_EQ(gapQuestions(), (std::vector<std::string>{"Do you have a gym?", "Is the pool heated?"}));

  EXPECT_EQ(History::applyRetention(), 2);
  EXPECT_EQ(readText(Paths::historyFile()), spring + recent + "{\"question\":\"torn at the end\n");
  EXPECT_EQ(History::applyRetention(), 0);  // nothing more: the file is not rewritten
  EXPECT_EQ(gapQuestions(), (std::vector<std::string>{"Do you have a gym?", "Is the pool heated?"}));

  ASSERT_TRUE(Retention::setDays(90));
  EXPECT_EQ(Retention::days(), 90);
  EXPECT_EQ(gapQuestions(), std::vector<std::string>{"Do you have a gym?"});
  EXPECT_EQ(History::applyRetention(), 1);
  EXPECT_EQ(readText(Paths::historyFile()), recent + "{\"question\":\"torn at the end\n");
  EXPECT_EQ(test::permissions(Paths::historyFile()), 0600u);
  EXPECT_EQ(gapQuestions(), std::vector<std::string>{"Do you have a gym?"});

  // "Keep all" keeps an entry of ten years.
  ASSERT_TRUE(Retention::setDays(0));
  std::ofstream(Paths::historyFile(), std::ios::app) << unanswered("Ten years ago", 3650);
  EXPECT_EQ(History::applyRetention(), 0);
  EXPECT_EQ(History::count(), 3);
}

// settings.json is for people to read and edit: anything but a whole number
// of days or "all" means the default, and a choice keeps the other keys.
TEST(Retention, TheSettingsFile) {
  TempHome home;
  EXPECT_FALSE(Retention::cutoff(kNow) == std::nullopt);
  Paths::ensure();
  for (const char* text : {R"({"keepHistoryDays":0})", R"({"keepHistoryDays":-5})", R"({"keepHistoryDays":1.5})",
                           R"({"keepHistoryDays":"90"})", R"({"keepHistoryDays":99999999})", "[90]", "{broken"}) {
    writeText(Paths::settingsFile(), text);
    EXPECT_EQ(Retention::days(), 365) << text;
  }
  writeText(Paths::settingsFile(), R"({"keepHistoryDays":"all","other":true})");
  EXPECT_EQ(Retention::days(), 0);
  EXPECT_EQ(Retention::cutoff(kNow), std::nullopt);
  ASSERT_TRUE(Retention::setDays(30));
  const auto j = nlohmann::json::parse(readText(Paths::settingsFile()));
  EXPECT_EQ(j["keepHistoryDays"], 30);
  EXPECT_EQ(j["other"], true);
  EXPECT_EQ(Retention::cutoff(kNow), kNow - std::chrono::hours(24 * 30));
  EXPECT_EQ(test::permissions(Paths::settingsFile()), 0600u);
  EXPECT_FALSE(Retention::setDays(-1));
}

// A name in the message, in the reply, in Cyrillic, in both: each entry
// that holds it goes, case and width aside, and nothing else.
TEST(Forget, ANameWhereverItIsAndNothingElse) {
  TempHome home;
  Paths::ensure();
  const std::string inMessage = entry("My name is Anna Kowalska, room 12. Late checkout?", "Until 14:00 [1].");
  const std::string inReply = entry("When is breakfast?", "Dear Ms KOWALSKA, from 7:00 [1].");
  const std::string cyrillic = entry("Меня зовут Иван Петров, номер 5", "Завтрак с 7:00 [1].");
  const std::string both = entry("ПЕТРОВ again: is the pool open?", "Yes, Mr Петров [1].");
  const std::string street = entry("We live on Hauptstraße 5", "Thank you.");
  // A passage of the hotel's documents quoted in the sources is no guest's word.
  Answer quoted = test::historyAnswer("Who is the manager?", false, "en", daysAgo(2));
  quoted.sources = {{1, "staff.md", "Staff", "Our manager, Mr Kowalska senior, ..."}};
  const std::string documentOnly = quoted.toJson() + "\n";
  const std::string other = entry("Is there parking?", "Yes [1].");
  const std::string damaged = "{\"question\":\"Anna Kowalska torn";
  writeText(Paths::historyFile(), inMessage + inReply + documentOnly + cyrillic + other + both + street + damaged);

  EXPECT_EQ(History::countContaining("kowalska"), 3);
  EXPECT_EQ(History::forget("  kowalska "), 3);
  EXPECT_EQ(readText(Paths::historyFile()), documentOnly + cyrillic + other + both + street);
  EXPECT_EQ(History::forget("петров"), 2);
  EXPECT_EQ(History::forget("HAUPTSTRASSE"), 1);  // ß folds to ss
  EXPECT_EQ(readText(Paths::historyFile()), documentOnly + other);
  EXPECT_EQ(History::forget("   "), 0);
  EXPECT_EQ(History::forget("nobody"), 0);
  EXPECT_EQ(readText(Paths::historyFile()), documentOnly + other);
  EXPECT_EQ(History::count(), 2);
}

// Beyond the history: the desk's answers copied from the guest's question
// and the log lines that quote it go too; the hotel's documents and other
// sections stay byte for byte; nothing in the support folder holds it after.
TEST(Forget, EveryOtherPlaceThatHoldsTheGuestsWords) {
  TempHome home;
  Paths::ensure();
  writeText(Paths::historyFile(), entry("Passport PL998877: can I check in early?", "From 12:00 [1].") +
                                      entry("Is the sauna free?", "Yes [1]."));
  const std::string gym = "## Do you have a gym?\nYes, on the ground floor.\nAdded: 2026-12-01 10:00\n";
  const std::string early = "## Passport pl998877: can I check in early?\nFrom 12:00.\nAdded: 2026-12-01 10:05\n";
  writeText(DeskAnswers::file(), "# Front desk\n\n" + gym + "\n" + early + "\n" + gym.substr(0, 3) +
                                     "Pets?\nSmall dogs are welcome.\n");
  writeText(Paths::documents() / "rules.md", "Keep your passport with you.");
  writeText(Paths::logs() / "app.log", "RAW: Early check-in for PL998877 [1]\nRAW: The sauna is free [1]\n");
  writeText(Paths::logs() / "chat.log", "srv  log_server_r: request: POST /v1/chat/completions 200\n");

  const Forget::Result r = Forget::guest("PL998877");
  EXPECT_EQ(r.entries, 1);
  EXPECT_EQ(r.deskAnswers, 1);
  EXPECT_EQ(r.logs, std::vector<std::string>{"app.log"});
  EXPECT_TRUE(r.failures.empty());
  EXPECT_EQ(readText(DeskAnswers::file()), "# Front desk\n\n" + gym + "\n## Pets?\nSmall dogs are welcome.\n");
  EXPECT_EQ(readText(Paths::logs() / "app.log"), "RAW: The sauna is free [1]\n");
  EXPECT_EQ(readText(Paths::logs() / "chat.log"), "srv  log_server_r: request: POST /v1/chat/completions 200\n");
  EXPECT_EQ(readText(Paths::documents() / "rules.md"), "Keep your passport with you.");
  for (const auto& f : fs::recursive_directory_iterator(home.path())) {
    if (!f.is_regular_file()) continue;
    EXPECT_EQ(searchFolded(readText(f.path())).find("pl998877"), std::string::npos) << f.path();
  }
}

// A removal that cannot write its new file (a full disk) says so and leaves
// the history as it was, with nothing left beside it.
TEST(HistoryRewrite, AFullDiskKeepsTheOldFile) {
  test::SmallDisk disk(256 << 10);
  if (!disk.ok()) GTEST_SKIP() << "a small tmpfs cannot be mounted here (needs root)";
  test::ScopedEnv home("QUORVEL_HOME", (disk.path() / "home").string());
  Paths::ensure();
  std::string text;
  for (int i = 0; i < 100; ++i) text += entry("Guest " + std::to_string(i) + (i ? "" : " Kowalska"), "Yes.", 400 - i);
  writeText(Paths::historyFile(), text);
  disk.fill(/*leave=*/4000);
  EXPECT_EQ(History::forget("kowalska"), std::nullopt);
  EXPECT_EQ(History::removeOlderThan(daysAgo(350)), std::nullopt);
  const Forget::Result r = Forget::guest("kowalska");
  EXPECT_EQ(r.entries, 0);
  ASSERT_EQ(r.failures.size(), 1u);
  EXPECT_NE(r.failures[0].find("No space left on device"), std::string::npos) << r.failures[0];
  EXPECT_EQ(readText(Paths::historyFile()), text);
  for (const auto& f : fs::directory_iterator(Paths::support()))
    EXPECT_FALSE(f.path().filename().string().starts_with(".history.jsonl.")) << f.path();
  disk.unfill();
  EXPECT_EQ(History::removeOlderThan(daysAgo(350) - std::chrono::hours(1)), 50);  // 400 to 351 days
  EXPECT_EQ(History::forget("kowalska"), 0);  // it went with the old ones
}

// Every line of the file parses as an answer; their questions in order.
std::vector<std::string> wholeQuestions(const std::string& text) {
  std::vector<std::string> out;
  for (const std::string& l : linesOf(text)) {
    try {
      out.push_back(Answer::fromJson(l).question);
    } catch (const std::exception& e) {
      ADD_FAILURE() << "a broken line: " << l.substr(0, 80);
    }
  }
  EXPECT_TRUE(text.empty() || text.back() == '\n');
  return out;
}

// Another process appends 1,000 entries (and some to be removed) while this
// one removes again and again: every append is there once, in order, and
// every line is whole.
TEST(HistoryRewrite, AppendsDuringRemovalsAreAllKept) {
  TempHome home;
  Paths::ensure();
  std::string seed;
  for (int i = 0; i < 3000; ++i) seed += entry("old question " + std::to_string(i), std::string(300, 'x'), 400);
  writeText(Paths::historyFile(), seed);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    bool ok = true;
    for (int i = 0; i < 1000; ++i) {
      Answer a = test::historyAnswer("kept " + std::to_string(i), false, "en", kNow);
      ok = History::append(a) && ok;
      if (i % 5 == 0) ok = History::append(test::historyAnswer("drop me " + std::to_string(i), true, "en", kNow)) && ok;
    }
    ::_exit(ok ? 0 : 1);
  }
  int rewrites = 0, status = 0;
  for (;;) {
    const pid_t done = ::waitpid(child, &status, WNOHANG);
    const auto old = History::removeOlderThan(daysAgo(365));
    const auto dropped = History::forget("drop me");
    ASSERT_TRUE(old && dropped);
    if (*old + *dropped > 0) ++rewrites;
    if (done == child) break;
  }
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ASSERT_EQ(History::forget("drop me"), 0);  // the last pass came after the last append
  std::vector<std::string> expected;
  for (int i = 0; i < 1000; ++i) expected.push_back("kept " + std::to_string(i));
  EXPECT_EQ(wholeQuestions(readText(Paths::historyFile())), expected);
  EXPECT_GT(rewrites, 2) << "the removals never met the appends";
}

// A removal killed at any moment leaves the old file or the new one whole,
// never a mix; the next removal clears what the killed one left beside it.
TEST(HistoryRewrite, AKilledRemovalLeavesTheOldOrTheNewFile) {
  TempHome home;
  Paths::ensure();
  std::string before, after;
  for (int i = 0; i < 20000; ++i) {
    const std::string e = entry((i % 2 ? "guest Kowalska " : "guest ") + std::to_string(i), std::string(600, 'y'));
    before += e;
    if (i % 2 == 0) after += e;
  }
  auto removal = [] {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(History::forget("kowalska") == 10000 ? 0 : 1);
    return child;
  };
  // How long one whole removal takes here: the kills fall within it.
  writeText(Paths::historyFile(), before);
  const auto t0 = std::chrono::steady_clock::now();
  int status = 0;
  const pid_t whole = removal();
  ASSERT_GT(whole, 0);
  ::waitpid(whole, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  const auto took = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0);
  ASSERT_EQ(readText(Paths::historyFile()), after);

  std::mt19937 random(20261209);
  std::uniform_int_distribution<int64_t> when(0, took.count() * 5 / 4);
  int old = 0, fresh = 0;
  for (int round = 0; round < 30; ++round) {
    writeText(Paths::historyFile(), before);
    const pid_t child = removal();
    ASSERT_GT(child, 0);
    ::usleep(static_cast<useconds_t>(when(random)));
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
    const std::string now = readText(Paths::historyFile());
    ASSERT_TRUE(now == before || now == after) << "round " << round << ": " << now.size() << " bytes";
    (now == before ? old : fresh)++;
  }
  // Both outcomes came up: the kills fell before and after the rename.
  EXPECT_GT(old, 0);
  EXPECT_GT(fresh, 0);
  writeText(Paths::historyFile(), before);
  EXPECT_EQ(History::forget("kowalska"), 10000);
  for (const auto& f : fs::directory_iterator(home.path()))
    EXPECT_FALSE(f.path().filename().string().starts_with(".history.jsonl.")) << f.path();
}

}  // namespace
}  // namespace quorvel
