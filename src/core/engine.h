// The two local model servers: chat on 127.0.0.1:18431, embeddings on
// 127.0.0.1:18432. Started when not already answering, reused when they are,
// and left running for the next process until stopped.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <vector>

namespace quorvel {

class Engine {
 public:
  struct State {
    enum class Kind { failed, stopped, starting, ready };
    Kind kind = Kind::stopped;
    std::string message;  // for failed only

    static State failed(std::string m) { return {Kind::failed, std::move(m)}; }
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

  State state() const;
  void setState(State s);
  // Called on the thread that changed the state, once per assignment.
  std::function<void(const State&)> onState;

  // Brings both servers up; never throws. The outcome is state().
  void start();
  // Sends SIGTERM to the servers this process launched. A failure stays.
  void stop();
  // stop(), then ends every server of this system on either port.
  void stopAll();

  // The installed reply model's title, or "—" when there is none.
  static std::string chatModelTitle();

  // Test hooks: the wait between polls and how many polls are made.
  int pollMillis = 250;
  int maxPolls = 240;

 private:
  struct Child {
    bool present = false;
    pid_t pid = -1;
    bool running();
  };
  static Child launch(const std::string& exe, const std::string& name, const std::vector<std::string>& args);
  static bool healthy(const std::string& baseURL);

  mutable std::mutex mu_;
  State state_;
  Child chatProc_, embedProc_;
};

}  // namespace quorvel
