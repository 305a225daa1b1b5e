// Child processes: limits, captured output, and that nothing is left behind.
#include <gtest/gtest.h>
#include <signal.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/process.h"
#include "test_support.h"

namespace quorvel {
namespace {

using namespace std::chrono_literals;

// Running, not just a zombie: an orphaned grandchild is reaped by whoever
// adopts it, which in a container may be nobody.
bool alive(pid_t pid) {
  if (::kill(pid, 0) != 0) return false;
  const std::string stat = test::readText("/proc/" + std::to_string(pid) + "/stat");
  const auto paren = stat.rfind(')');
  return paren != std::string::npos && paren + 2 < stat.size() && stat[paren + 2] != 'Z';
}

// The first line of a file once something has written it.
std::string firstLine(const fs::path& file) {
  for (int i = 0; i < 500; ++i) {
    const std::string text = test::readText(file);
    if (text.find('\n') != std::string::npos) return text.substr(0, text.find('\n'));
    std::this_thread::sleep_for(10ms);
  }
  return {};
}

TEST(Subprocess, CapturesOutputAndStatus) {
  auto r = Subprocess::run({"sh", "-c", "echo out; echo err >&2; exit 3"}, 5s, 1000);
  EXPECT_TRUE(r.started);
  EXPECT_EQ(r.out, "out\n");  // standard error is not captured
  EXPECT_EQ(r.status, 3);
  EXPECT_FALSE(r.timedOut);

  // Output nobody wants is no reason to kill the program.
  r = Subprocess::run({"sh", "-c", "echo ignored; exit 4"}, 5s, 0);
  EXPECT_EQ(r.status, 4);
  EXPECT_FALSE(r.truncated);

  r = Subprocess::run({"no-such-program-anywhere"}, 5s, 1000);
  EXPECT_FALSE(r.started);
}

TEST(Subprocess, TimeLimitAndOutputLimitKillTheChildAndItsHelpers) {
  const auto t0 = std::chrono::steady_clock::now();
  // A helper that closes its output and lingers, with a grandchild.
  auto r = Subprocess::run({"sh", "-c", "echo hi; exec >/dev/null; sleep 30 & wait"}, 300ms, 1000);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, 5s);
  EXPECT_TRUE(r.timedOut);
  EXPECT_EQ(r.out, "hi\n");
  EXPECT_EQ(r.signal, SIGKILL);

  r = Subprocess::run({"yes"}, 5s, 1000);
  EXPECT_TRUE(r.truncated);
  EXPECT_EQ(r.out.size(), 1000u);
}

// A child nobody waits for any more (its parent was killed) still ends:
// its processor time runs out.
TEST(Subprocess, ProcessorTimeLimitEndsAChildOnItsOwn) {
  Subprocess::Options o;
  o.cpuLimit = 1s;
  Subprocess spinner({"/bin/sh", "-c", "while :; do :; done"}, o);
  ASSERT_TRUE(spinner.started());
  const auto r = spinner.wait(2min);
  EXPECT_FALSE(r.timedOut);
  EXPECT_TRUE(r.signal == SIGXCPU || r.signal == SIGKILL) << r.signal;
}

TEST(Subprocess, OutputToFilesAndInputFromAFile) {
  test::TempDir dir;
  test::writeText(dir / "in", "guest message\n");
  Subprocess::Options o;
  o.input = dir / "in";
  o.out = Subprocess::Stream::toFile;
  o.outFile = dir / "log";
  o.err = Subprocess::Stream::sameAsOut;
  Subprocess p({"/bin/sh", "-c", "cat; echo oops >&2"}, o);
  ASSERT_TRUE(p.started());
  EXPECT_EQ(p.wait().status, 0);
  EXPECT_EQ(test::readText(dir / "log"), "guest message\noops\n");
  EXPECT_EQ(test::permissions(dir / "log"), 0600u);
}

TEST(Subprocess, DestructionEndsTheChildUnlessDetached) {
  test::TempDir dir;
  Subprocess::Options o;
  o.out = Subprocess::Stream::toFile;
  o.outFile = dir / "pids";
  pid_t child = -1, grandchild = -1;
  {
    Subprocess p({"/bin/sh", "-c", "sleep 30 & echo $!; wait"}, o);
    child = p.pid();
    grandchild = std::stoi(firstLine(dir / "pids"));
    EXPECT_TRUE(p.running());
  }
  EXPECT_NE(::kill(child, 0), 0);  // killed and reaped: not even a zombie
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(alive(grandchild));

  pid_t server = -1;
  {
    Subprocess::Options session;
    session.newSession = true;
    Subprocess p({"/bin/sleep", "30"}, session);
    p.detach();
    server = p.pid();
  }
  EXPECT_TRUE(alive(server));  // a model server outlives its handle
  ::kill(server, SIGKILL);
}

TEST(Subprocess, TerminatedDetachedChildIsReaped) {
  pid_t pid = -1;
  {
    Subprocess p({"/bin/sleep", "30"}, {});
    p.detach();
    pid = p.pid();
    p.terminate();
  }
  // Reaped in the background: the pid disappears entirely.
  for (int i = 0; i < 200 && ::kill(pid, 0) == 0; ++i) std::this_thread::sleep_for(10ms);
  EXPECT_NE(::kill(pid, 0), 0);
}

}  // namespace
}  // namespace quorvel
