// The engine and the chat client against the stand-in model server on the
// real ports.
#include <gtest/gtest.h>
#include <httplib.h>

#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

#include <quorvel/chat.h>
#include <quorvel/engine.h>
#include <quorvel/models.h>

#include "platform/local_http.h"
#include "platform/process.h"
#include "runtime/servers.h"
#include "test_support.h"

namespace quorvel {
namespace {

using State = Engine::State;
using test::ScopedEnv;
using test::TempDir;
using test::TempHome;

class EngineTest : public ::testing::Test {
 protected:
  TempHome home;
  TempDir emptyPath;
  // No llama-server from the machine: only the stand-in placed in the home.
  ScopedEnv path{"PATH", emptyPath.path().string()};
  Engine engine;
  std::vector<State> states;

  void SetUp() override {
    test::stopModelServers();
    engine.onState = [this](const State& s) { states.push_back(s); };
  }
  void TearDown() override { test::stopModelServers(); }

  static bool answers(int port) {
    return LocalHTTP::getStatus("http://127.0.0.1:" + std::to_string(port) + "/health", std::chrono::seconds(1)) == 200;
  }
};

TEST_F(EngineTest, FailsWithoutProgramOrModels) {
  engine.start();
  EXPECT_EQ(states,
            (std::vector<State>{State::starting(), State::failed("engine not found", Engine::Problem::notFound)}));

  test::prepareStandInHome(home.path(), /*chatModel=*/false, /*searchModel=*/true);
  states.clear();
  engine.start();
  EXPECT_EQ(states,
            (std::vector<State>{State::starting(), State::failed("model not downloaded", Engine::Problem::noModel)}));

  test::prepareStandInHome(home.path(), /*chatModel=*/true, /*searchModel=*/false);
  fs::remove(home.path() / "models/qwen3-embedding-0.6b-q8_0.gguf");
  states.clear();
  engine.start();
  EXPECT_EQ(states.back(), State::failed("search model not downloaded", Engine::Problem::noSearchModel));
  EXPECT_FALSE(answers(Engine::chatPort));
}

TEST_F(EngineTest, StartsBothServersThenReusesThem) {
  test::prepareStandInHome(home.path());
  engine.start();
  EXPECT_EQ(states, (std::vector<State>{State::starting(), State::ready()}));
  EXPECT_TRUE(answers(Engine::chatPort));
  EXPECT_TRUE(answers(Engine::embedPort));
  EXPECT_NE(test::readText(home.path() / "logs/chat.log").find("stand-in llama-server: chat model"), std::string::npos);
  EXPECT_NE(test::readText(home.path() / "logs/embed.log").find("embedding model"), std::string::npos);
  EXPECT_EQ(test::permissions(home.path() / "logs/chat.log"), 0600u);

  // Already ready: nothing happens, no callback.
  engine.start();
  EXPECT_EQ(states.size(), 2u);

  // Another process (here another engine) finds both answering and launches
  // nothing: the logs are not made anew.
  test::writeText(home.path() / "logs/chat.log", "kept\n");
  Engine second;
  std::vector<State> seen;
  second.onState = [&seen](const State& s) { seen.push_back(s); };
  const auto t0 = std::chrono::steady_clock::now();
  second.start();
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
  EXPECT_EQ(seen, (std::vector<State>{State::starting(), State::ready()}));
  EXPECT_EQ(test::readText(home.path() / "logs/chat.log"), "kept\n");
}

TEST_F(EngineTest, LaunchesOnlyTheServerThatIsNotAnswering) {
  test::prepareStandInHome(home.path());
  // A chat server started by another program of ours: it serves our model.
  test::LocalServer other;
  other.server().Get(
      "/health", [](const httplib::Request&, httplib::Response& res) { res.set_content("{}", "application/json"); });
  other.server().Get("/props", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(R"({"model_path":"/elsewhere/models/)" + ModelCatalog::chat()[0].file + "\"}", "application/json");
  });
  other.start(Engine::chatPort);

  engine.start();
  EXPECT_EQ(engine.state(), State::ready());
  EXPECT_FALSE(fs::exists(home.path() / "logs/chat.log"));
  EXPECT_TRUE(fs::exists(home.path() / "logs/embed.log"));
}

TEST_F(EngineTest, ServerExitingAtStartFailsWithItsLog) {
  test::prepareStandInHome(home.path());
  ScopedEnv fail("QUORVEL_STANDIN_EXIT_AT_START", "embed");
  const auto t0 = std::chrono::steady_clock::now();
  engine.start();
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(10));
  EXPECT_EQ(states,
            (std::vector<State>{State::starting(), State::stopped(),
                                State::failed("model server did not start (see logs)", Engine::Problem::didNotStart)}));
  EXPECT_NE(test::readText(home.path() / "logs/embed.log").find("failing at start"), std::string::npos);
  // The chat server it launched was terminated with it.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(answers(Engine::chatPort));

  // stop() keeps the failure; stopAll() clears it.
  states.clear();
  engine.stop();
  EXPECT_TRUE(states.empty());
  EXPECT_EQ(engine.state(), State::failed("model server did not start (see logs)", Engine::Problem::didNotStart));
  engine.stopAll();
  EXPECT_EQ(states, std::vector<State>{State::stopped()});
}

TEST_F(EngineTest, WaitsForASlowServerAndGivesUpOnAHungOne) {
  test::prepareStandInHome(home.path());
  {
    ScopedEnv slowBind("QUORVEL_STANDIN_BIND_DELAY_MS", "400");
    ScopedEnv slowLoad("QUORVEL_STANDIN_LOAD_MS", "600");
    engine.pollMillis = 50;
    engine.start();
    EXPECT_EQ(engine.state(), State::ready());
  }
  engine.stopAll();
  test::stopModelServers();
  ScopedEnv hung("QUORVEL_STANDIN_LOAD_MS", "600000");
  engine.maxPolls = 4;
  engine.start();
  EXPECT_EQ(engine.state(), State::failed("model server did not start (see logs)", Engine::Problem::didNotStart));
}

// Run under ThreadSanitizer too (QUORVEL_SANITIZE=thread): the app starts the
// engine on a worker while the tray stops it from the GUI thread.
TEST_F(EngineTest, StartStopAndStateFromSeveralThreads) {
  test::prepareStandInHome(home.path());
  ScopedEnv slow("QUORVEL_STANDIN_LOAD_MS", "300");
  Engine shared;
  shared.pollMillis = 20;
  std::mutex mu;
  std::vector<State> seen;
  shared.onState = [&](const State& s) {
    std::lock_guard<std::mutex> lock(mu);
    seen.push_back(s);
  };
  std::atomic<bool> done{false};
  std::thread starter([&] {
    for (int i = 0; i < 4; ++i) shared.start();
  });
  std::thread stopper([&] {
    for (int i = 0; i < 15; ++i) {
      shared.stop();
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  });
  std::thread watcher([&] {
    while (!done) (void)shared.state();
  });
  starter.join();
  stopper.join();
  done = true;
  watcher.join();
  shared.stopAll();
  EXPECT_EQ(shared.state(), State::stopped());
  test::stopModelServers();

  // A stop while a start waits for the servers ends that start: it never
  // turns ready afterwards, and the servers it launched are terminated.
  {
    std::lock_guard<std::mutex> lock(mu);
    seen.clear();
  }
  std::thread start([&] { shared.start(); });
  while (shared.state() != State::starting()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  shared.stop();
  const auto t0 = std::chrono::steady_clock::now();
  start.join();
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(shared.state(), State::stopped());
  {
    std::lock_guard<std::mutex> lock(mu);
    EXPECT_EQ(seen, (std::vector<State>{State::starting(), State::stopped()}));
  }
  EXPECT_FALSE(answers(Engine::chatPort));
  EXPECT_FALSE(answers(Engine::embedPort));
}

TEST_F(EngineTest, StopAllEndsEveryServer) {
  test::prepareStandInHome(home.path());
  engine.start();
  ASSERT_EQ(engine.state(), State::ready());
  Engine other;  // knows nothing of the servers, and still ends them
  other.stopAll();
  EXPECT_EQ(other.state(), State::stopped());
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(answers(Engine::chatPort));
  EXPECT_FALSE(answers(Engine::embedPort));
}

// A server that goes away while ready is noticed: one this engine launched
// by its exit, one it found running by its port refusing connections. The
// other server is ended too, and the next start brings both back.
TEST_F(EngineTest, AServerThatGoesAwayIsNoticedAndStartBringsItBack) {
  test::prepareStandInHome(home.path());
  engine.start();
  ASSERT_EQ(engine.state(), State::ready());
  EXPECT_TRUE(engine.checkServers());
  EXPECT_TRUE(engine.checkServers());  // a second look changes nothing
  EXPECT_EQ(states.size(), 2u);

  test::killChatServer();
  EXPECT_FALSE(engine.checkServers());
  EXPECT_EQ(engine.state(), State::failed("the model server stopped", Engine::Problem::serverStopped));
  EXPECT_EQ(states.back(), engine.state());
  EXPECT_TRUE(engine.checkServers());  // not ready: nothing to check
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(answers(Engine::embedPort));

  engine.start();
  ASSERT_EQ(engine.state(), State::ready());
  EXPECT_TRUE(answers(Engine::chatPort));

  // Servers this engine did not launch: their ports tell.
  Engine second;
  second.start();
  ASSERT_EQ(second.state(), State::ready());
  engine.stop();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(second.checkServers());
  EXPECT_EQ(second.state().problem, Engine::Problem::serverStopped);
}

// Stopping ends this support folder's servers only: one of another
// support folder on the same port pattern is left alone, a leftover of this
// one's (started by an earlier run, its record lost) is ended.
TEST_F(EngineTest, StopAllEndsOnlyThisSupportFoldersServers) {
  TempDir bin, other;
  const fs::path server = bin / "llama-server";
  test::writeText(server, "#!/bin/sh\n/bin/sleep 300\n:\n");
  fs::permissions(server, fs::perms::owner_all);
  Subprocess::Options o;
  o.searchPath = false;
  auto fake = [&](const fs::path& models) {
    return Subprocess(
        {"/bin/sh", server.string(), "-m", (models / "qwen3-1.7b-q4_k_m.gguf").string(), "--port", "18431"}, o);
  };
  Subprocess theirs = fake(other / "models");
  Subprocess leftover = fake(home.path() / "models");
  ASSERT_TRUE(theirs.started() && leftover.started());
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the shells are running the script
  Engine().stopAll();
  EXPECT_TRUE(theirs.running());
  for (int i = 0; i < 100 && leftover.running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(leftover.running());
}

// The servers serve only requests that carry the key of the support
// folder; the key lies in a private file and on no command line.
TEST_F(EngineTest, ServersWantTheKeyThatNoOtherUserCanRead) {
  test::prepareStandInHome(home.path());
  engine.start();
  ASSERT_EQ(engine.state(), State::ready());
  const std::string key = LocalHTTP::apiKey();
  ASSERT_GE(key.size(), 32u);
  EXPECT_EQ(test::permissions(LocalHTTP::apiKeyFile()), 0600u);
  httplib::Client stranger("127.0.0.1", Engine::chatPort);
  auto r =
      stranger.Post("/v1/chat/completions", R"({"messages":[{"role":"user","content":"hi"}]})", "application/json");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, 401);
  r = stranger.Get("/props");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, 401);
  // With the key (as the tool sends it), the same request is served.
  EXPECT_FALSE(Chat::complete("Answer.", "SOURCES:\n[1] (a.txt)\nHi.\n\nGUEST MESSAGE:\nhi").first.empty());
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const auto cmdline = test::readText(entry.path() / "cmdline");
    EXPECT_EQ(cmdline.find(key), std::string::npos) << entry.path();
  }
  // Nor does a server list or save its slots: nothing of ours uses them.
  for (int port : {Engine::chatPort, Engine::embedPort}) {
    const auto pid = servers::listenerProcess(port);
    ASSERT_TRUE(pid);
    EXPECT_NE(test::readText("/proc/" + std::to_string(*pid) + "/cmdline").find(std::string("--no-slots\0", 11)),
              std::string::npos);
  }
}

// Another user's program on a model port: a folder that user can read
// (with a model file of our name: anyone can name a file so), the stand-in
// run as that user, and the requests it was sent with the key each carried.
class OtherUser {
 public:
  OtherUser() {
    fs::create_directories(folder_);
    fs::permissions(folder_, fs::perms::all);
    test::writeText(folder_ / ModelCatalog::chat()[0].file, "GGUF");
    fs::permissions(folder_ / ModelCatalog::chat()[0].file, fs::perms(0644));
  }
  ~OtherUser() {
    server_.kill();
    fs::remove_all(folder_);
  }
  // Listens on `port` as user 65534; `loading`: /health says 503 for ever.
  void listen(int port, bool loading = false) {
    Subprocess::Options o;
    o.environment = test::environmentWith({{"QUORVEL_STANDIN_RECORD_KEYS", requests().string()},
                                           {"QUORVEL_STANDIN_LOAD_MS", loading ? "3600000" : "0"}});
    server_ = Subprocess({"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", QUORVEL_STANDIN, "-m",
                          (folder_ / ModelCatalog::chat()[0].file).string(), "--host", "127.0.0.1", "--port",
                          std::to_string(port)},
                         o);
    ASSERT_TRUE(test::waitFor([&] { return LocalHTTP::getStatus("http://127.0.0.1:" + std::to_string(port) +
                                                                "/health", std::chrono::seconds(1)) != 0; }));
  }
  fs::path requests() const { return folder_ / "requests.txt"; }
  // Whether any request that reached it carried a key.
  bool sawAKey() const {
    return fs::exists(requests()) && test::readText(requests()).find("Bearer") != std::string::npos;
  }

 private:
  fs::path folder_ = fs::path("/tmp") / ("quorvel-other-" + std::to_string(::getpid()));
  Subprocess server_;
};

// A server of another user on our port is not used and never sent our key,
// whether it answers as our server would or not at all.
TEST_F(EngineTest, AnotherUsersProgramOnOurPortIsSentNoKeyAndNamed) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to run a server as another user";
  test::prepareStandInHome(home.path());
  const State taken =
      State::failed("port 18431 is used by another program (quorvel-cli stop ends a model server of ours)",
                    Engine::Problem::portTaken);
  for (bool loading : {false, true}) {
    OtherUser other;
    other.listen(Engine::chatPort, loading);
    engine.start();
    EXPECT_EQ(engine.state(), taken) << loading;
    EXPECT_FALSE(other.sawAKey()) << test::readText(other.requests());
    EXPECT_FALSE(answers(Engine::embedPort)) << "nothing of ours was started";
  }
}

// Our server dies and another user takes its port while we are ready: the
// next request is refused on its connection, before the key is sent.
TEST_F(EngineTest, ARequestGoesOnlyToOurServer) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to run a server as another user";
  test::prepareStandInHome(home.path());
  engine.start();
  ASSERT_EQ(engine.state(), State::ready());
  Engine reusing;  // found the servers running: knows them by their ports only
  reusing.start();
  ASSERT_EQ(reusing.state(), State::ready());
  test::killChatServer();
  OtherUser other;
  other.listen(Engine::chatPort);
  EXPECT_FALSE(reusing.checkServers());
  EXPECT_EQ(reusing.state().problem, Engine::Problem::serverStopped);
  try {
    Chat::complete("Answer.", "GUEST MESSAGE:\nhi");
    ADD_FAILURE() << "a reply from another user's program";
  } catch (const HttpError& e) {
    EXPECT_NE(std::string(e.what()).find("another user's"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(other.sawAKey()) << test::readText(other.requests());
  engine.stop();
  Engine after;
  after.start();
  EXPECT_EQ(after.state().problem, Engine::Problem::portTaken);
  EXPECT_FALSE(other.sawAKey()) << test::readText(other.requests());
}

// The key deleted, emptied, readable by others (spent) or replaced by a
// link while our servers run: a new key, and our servers restarted with it,
// never "port 18431 is used by another program".
TEST_F(EngineTest, ANewKeyRestartsOurServersWithIt) {
  test::prepareStandInHome(home.path());
  engine.start();
  ASSERT_EQ(engine.state(), State::ready());
  const fs::path file = LocalHTTP::apiKeyFile();
  TempDir elsewhere;
  test::writeText(elsewhere / "key", std::string(48, 'a') + "\n");
  const std::vector<std::pair<std::string, std::function<void()>>> changes{
      {"deleted", [&] { fs::remove(file); }},
      {"emptied", [&] { test::writeText(file, ""); }},
      {"readable by others", [&] { fs::permissions(file, fs::perms(0644)); }},
      {"a link", [&] {
         fs::remove(file);
         fs::create_symlink(elsewhere / "key", file);
       }},
  };
  for (const auto& [what, change] : changes) {
    const std::string before = test::readText(file);
    const auto chatBefore = servers::listenerProcess(Engine::chatPort);
    const auto embedBefore = servers::listenerProcess(Engine::embedPort);
    change();
    Engine next;
    next.start();
    ASSERT_EQ(next.state(), State::ready()) << what;
    const std::string key = LocalHTTP::apiKey();
    EXPECT_NE(key + "\n", before) << what;
    EXPECT_NE(key, std::string(48, 'a')) << what;
    EXPECT_FALSE(fs::is_symlink(file)) << what;
    EXPECT_EQ(test::permissions(file), 0600u) << what;
    EXPECT_NE(servers::listenerProcess(Engine::chatPort), chatBefore) << what;
    EXPECT_NE(servers::listenerProcess(Engine::embedPort), embedBefore) << what;
    EXPECT_FALSE(Chat::complete("Answer.", "SOURCES:\n[1] (a.txt)\nHi.\n\nGUEST MESSAGE:\nhi").first.empty()) << what;
  }
  EXPECT_EQ(test::readText(elsewhere / "key"), std::string(48, 'a') + "\n");

  // A program that stays ready (the app) notices at its next look, and its
  // next start restarts the servers with the new key.
  Engine staying;
  staying.start();
  ASSERT_EQ(staying.state(), State::ready());
  EXPECT_TRUE(staying.checkServers());
  fs::remove(file);
  EXPECT_FALSE(staying.checkServers());
  EXPECT_EQ(staying.state().problem, Engine::Problem::serverStopped);
  staying.start();
  ASSERT_EQ(staying.state(), State::ready());
  EXPECT_FALSE(Chat::complete("Answer.", "SOURCES:\n[1] (a.txt)\nHi.\n\nGUEST MESSAGE:\nhi").first.empty());
}

// Without a key (here its place is taken by a folder) no server starts:
// any user could otherwise read its slots and properties and use it.
TEST_F(EngineTest, NoServerStartsWithoutAKey) {
  test::prepareStandInHome(home.path());
  fs::create_directories(LocalHTTP::apiKeyFile() / "in-the-way");
  engine.start();
  EXPECT_EQ(engine.state(),
            State::failed("the model servers were not started: their key cannot be made in " +
                              LocalHTTP::apiKeyFile().string() +
                              " (without one any user of this computer could use them)",
                          Engine::Problem::noKey));
  EXPECT_FALSE(answers(Engine::chatPort));
  EXPECT_FALSE(answers(Engine::embedPort));
}

class ChatTest : public EngineTest {
 protected:
  const std::string user =
      "SOURCES:\n[1] (rules.txt \xE2\x80\x94 Breakfast)\nBreakfast is served from 7:00 to 10:30 on the terrace.\n\n"
      "GUEST MESSAGE:\nWhen is breakfast served?\n\nWrite the reply in English.";
  void startServers() {
    test::prepareStandInHome(home.path());
    engine.start();
    ASSERT_EQ(engine.state(), State::ready());
  }
};

TEST_F(ChatTest, PlainAndStreamedRepliesAgree) {
  startServers();
  const auto [plain, plainCount] = Chat::complete("system", user);
  EXPECT_EQ(plain, "Breakfast is served from 7:00 to 10:30 on the terrace [1].");
  EXPECT_GT(plainCount.tokens, 0);
  EXPECT_EQ(plainCount.perSecond, 25.0);

  std::string streamed;
  int pieces = 0;
  const auto [text, count] = Chat::complete("system", user, [&](const std::string& p) {
    streamed += p;
    ++pieces;
  });
  EXPECT_EQ(text, plain);
  EXPECT_EQ(streamed, plain);
  EXPECT_GT(pieces, 3);
  EXPECT_EQ(count.tokens, plainCount.tokens);
}

TEST_F(ChatTest, BrokenStreamsAreErrors) {
  {
    ScopedEnv cut("QUORVEL_STANDIN_CUT_STREAM", "1");
    startServers();
    std::string seen;
    EXPECT_ANY_THROW(Chat::complete("system", user, [&](const std::string& p) { seen += p; }));
    EXPECT_FALSE(seen.empty());  // part of the reply had arrived
  }
  test::stopModelServers();
  engine.stopAll();
  ScopedEnv errorEvent("QUORVEL_STANDIN_ERROR_EVENT", "1");
  startServers();
  EXPECT_THROW(Chat::complete("system", user, [](const std::string&) {}), ChatError);
}

TEST_F(ChatTest, ServerDownIsAnError) {
  EXPECT_THROW(Chat::complete("system", user), HttpError);
  EXPECT_THROW(Chat::complete("system", user, [](const std::string&) {}), HttpError);
}

// A reading ahead that is no longer wanted ends at once, while the server
// is still busy with it.
TEST_F(EngineTest, AReadingAheadIsGivenUp) {
  test::LocalServer server;
  std::atomic<bool> release{false};
  server.server().Post("/v1/chat/completions", [&](const httplib::Request&, httplib::Response& res) {
    for (int i = 0; i < 600 && !release; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    res.set_content(R"({"choices":[{"message":{"content":""}}]})", "application/json");
  });
  server.start(Engine::chatPort);
  std::atomic<bool> stop{false};
  std::thread giveUp([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    stop = true;
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(Chat::read("sys", "usr", [&] { return stop.load(); }), Chat::Stopped);
  // A hang guard, not a speed check: the server would hold it for a minute.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  giveUp.join();
  release = true;
}

// Replies scripted by an in-process server on the chat port.
TEST_F(EngineTest, PlainReplyFieldsAndTheirFallbacks) {
  std::string reply;
  std::string request;
  test::LocalServer server;
  server.server().Post("/v1/chat/completions", [&](const httplib::Request& req, httplib::Response& res) {
    request = req.body;
    res.set_content(reply, "application/json");
  });
  server.start(Engine::chatPort);

  reply =
      R"({"choices":[{"message":{"content":"Hello"}}],"timings":{"predicted_per_second":12.5},"usage":{"completion_tokens":57}})";
  auto [text, count] = Chat::complete("sys", "usr");
  EXPECT_EQ(text, "Hello");
  EXPECT_EQ(count.tokens, 57);
  EXPECT_EQ(count.perSecond, 12.5);
  const auto sent = nlohmann::json::parse(request);
  EXPECT_EQ(
      sent,
      nlohmann::json::parse(
          R"({"messages":[{"role":"system","content":"sys"},{"role":"user","content":"usr"}],"temperature":0,)"
          R"("top_k":1,"seed":42,"max_tokens":400,"stream":false,"chat_template_kwargs":{"enable_thinking":false}})"));
  EXPECT_TRUE(sent["temperature"].is_number_integer());
  // The limit is the caller's; the server's figures and why it stopped come back.
  reply = R"({"choices":[{"message":{"content":"1: YES"},"finish_reason":"length"}],)"
          R"("timings":{"predicted_n":5,"prompt_n":2,"cache_n":300}})";
  const auto [verdict, limited] = Chat::complete("sys", "usr", {}, 16);
  EXPECT_EQ(nlohmann::json::parse(request)["max_tokens"], 16);
  EXPECT_TRUE(limited.cutOff);
  EXPECT_EQ(limited.promptEvaluated, 2);
  EXPECT_EQ(limited.promptCached, 300);
  // Reading ahead: the same request with nothing to generate.
  Chat::read("sys", "usr");
  auto readSent = nlohmann::json::parse(request);
  EXPECT_EQ(readSent["max_tokens"], 0);
  readSent["max_tokens"] = 400;
  EXPECT_EQ(readSent, sent);

  // A message with empty content is an empty reply; anything else that
  // holds no message is a fault of the server, never an empty reply.
  reply = R"({"choices":[{"message":{"content":null}}]})";
  EXPECT_EQ(Chat::complete("sys", "usr").first, "");
  auto failure = [](const std::string& body) -> std::string {
    try {
      Chat::complete("sys", "usr");
    } catch (const std::exception& e) {
      return e.what();
    }
    return "no error for " + body;
  };
  reply = R"({"error":{"code":500,"message":"boom"}})";
  EXPECT_NE(failure(reply).find("boom"), std::string::npos) << failure(reply);
  for (std::string body : {R"({})", R"({"choices":[]})", R"({"choices":[{"text":"x"}]})"}) {
    reply = body;
    EXPECT_THROW(Chat::complete("sys", "usr"), ChatError) << body;
  }
  for (std::string body : {"[1,2]", "not json", "<html>502 Bad Gateway</html>"}) {
    reply = body;
    const std::string why = failure(body);
    EXPECT_NE(why.find("127.0.0.1:18431"), std::string::npos) << why;  // names the server
  }
}

}  // namespace
}  // namespace quorvel
