// The two local model servers: chat on 127.0.0.1:18431, embeddings on
// 127.0.0.1:18432. Started when not already answering, reused when they are,
// and left running for the next process until stopped.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace quorvel {

// Thread safety: every member function may be called from any thread at any
// time; start() from a worker while stop() comes from the GUI thread is the
// expected use. A stop() during a start() ends that start: its servers are
// terminated and the state stays stopped. onState, pollMillis and maxPolls
// are set before the engine is first used.
class Engine {
 public:
  // Why the engine failed: what callers decide their advice by, so that
  // rewording a message never turns the advice off.
  enum class Problem {
    none,
    notFound,       // no llama-server
    noModel,        // no reply model downloaded
    noSearchModel,  // no search model downloaded
    damaged,        // a model file is damaged
    didNotStart,    // a server exited or never answered
    portTaken,      // another program listens on a port
    noKey,          // the servers' key cannot be made: they are not started
    serverStopped,  // a ready server went away
    other,
  };
  struct State {
    enum class Kind { failed, stopped, starting, ready };
    Kind kind = Kind::stopped;
    std::string message;  // for failed only
    Problem problem = Problem::none;

    static State failed(std::string m, Problem p = Problem::other) { return {Kind::failed, std::move(m), p}; }
    static State stopped() { return {Kind::stopped, {}}; }
    static State starting() { return {Kind::starting, {}}; }
    static State ready() { return {Kind::ready, {}}; }
    bool operator==(const State&) const = default;
  };

  static constexpr int chatPort = 18431;
  static constexpr int embedPort = 18432;
  static std::string chatURL();
  static std::string embedURL();

  static Engine& shared();
  Engine();
  ~Engine();  // servers it launched keep running for the next program
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  State state() const;
  void setState(State s);
  // Called on the thread that changed the state, once per assignment, after
  // the change and outside the engine's lock (it may call back in).
  std::function<void(const State&)> onState;

  // Brings both servers up; never throws. The outcome is state(). Returns at
  // once when a start is already under way or the servers are ready.
  void start();
  // Sends SIGTERM to the servers this process launched. A failure stays.
  void stop();
  // stop(), then ends every server of this system on either port.
  void stopAll();

  // While ready: whether both servers are still there. A server this
  // process launched that has exited, a port that refuses connections or
  // that another user's program took, or a key made anew since the start
  // makes the state failed (serverStopped) and returns false. Cheap (no
  // request is sent), so it can be asked every second and after every
  // failed request; a server busy with a long reply still counts as there.
  // `settle`: how long to keep looking while both seem there (after a broken
  // request, the server's death shows a moment later).
  bool checkServers(std::chrono::milliseconds settle = std::chrono::milliseconds(0));

  // The installed reply model's title, or "\u2014" when there is none.
  static std::string chatModelTitle();

  // Test hooks: the wait between polls and how many polls are made.
  int pollMillis = 250;
  int maxPolls = 240;

 private:
  struct Children;  // the servers this process launched
  static bool healthy(const std::string& baseURL);
  // Assigns the state under the lock when `generation` is still current (no
  // stop() came in between); false otherwise.
  bool setStateIf(uint64_t generation, State s);
  void notify(const State& s);

  mutable std::mutex mu_;
  State state_;                         // guarded by mu_
  uint64_t generation_ = 0;             // guarded by mu_; each start() and stop() begins a new one
  std::unique_ptr<Children> children_;  // guarded by mu_
  std::string key_;                     // guarded by mu_; the key the servers in use know
};

}  // namespace quorvel
