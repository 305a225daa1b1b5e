#include <quorvel/engine.h>

#include <nlohmann/json.hpp>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include <quorvel/models.h>
#include <quorvel/paths.h>

#include "platform/local_http.h"
#include "platform/process.h"
#include "platform/tcp_owner.h"
#include "runtime/servers.h"

namespace quorvel {

namespace {

// The embedding server reads one input at a time (an ask's texts come in one
// request, a refresh's in batches), each at most 4,000 bytes (Embedder), so
// one slot and a context and batch of 4,096 tokens hold any of them; the
// model's own 32K context would only take memory.
constexpr const char* kEmbedContext = "4096";

// The chat server's host-memory prompt cache: a reading ahead leaves the
// reply's prompt there while the slot reads the verifier's, and each call
// takes its own back instead of evaluating it again. It must hold one
// prompt's state: 144 KiB a token with the 4B model, so 512 MiB keep a
// prompt of about 3,600 tokens (a reply's prompt of eight 700-character
// passages is about 2,100), and a larger one is evaluated again as without a
// reading. The server evicts the oldest first; its own default of 8 GiB would
// let it grow by a state of every prompt over a day of replies.
constexpr const char* kChatPromptCacheMiB = "512";

constexpr const char* kNotFound = "engine not found";
constexpr const char* kNoModel = "model not downloaded";
constexpr const char* kNoSearchModel = "search model not downloaded";
constexpr const char* kDidNotStart = "model server did not start (see logs)";
const std::string kDamaged = "model file damaged: ";
constexpr const char* kStopped = "the model server stopped";

}  // namespace

std::string Engine::chatURL() { return "http://127.0.0.1:" + std::to_string(chatPort); }
std::string Engine::embedURL() { return "http://127.0.0.1:" + std::to_string(embedPort); }

Engine& Engine::shared() {
  static Engine engine;
  return engine;
}

struct Engine::Children {
  Subprocess chat, embed;
  bool chatLaunched = false, embedLaunched = false;

  // A launched server that has exited (or never ran) will not come up.
  bool anyDied() { return (chatLaunched && !chat.running()) || (embedLaunched && !embed.running()); }
  void terminate() {
    chat.terminate();
    embed.terminate();
    *this = Children{};  // detached: reaped in the background once they end
  }
};

Engine::Engine() : children_(std::make_unique<Children>()) {}
Engine::~Engine() = default;

Engine::State Engine::state() const {
  std::lock_guard<std::mutex> lock(mu_);
  return state_;
}

void Engine::notify(const State& s) {
  if (onState) onState(s);
}

void Engine::setState(State s) {
  {
    std::lock_guard<std::mutex> lock(mu_);
    state_ = s;
  }
  notify(s);
}

bool Engine::setStateIf(uint64_t generation, State s) {
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (generation != generation_) return false;
    state_ = s;
  }
  notify(s);
  return true;
}

bool Engine::healthy(const std::string& baseURL) {
  // No key: /health wants none, and whoever listens may read what is sent.
  return LocalHTTP::getStatus(baseURL + "/health", std::chrono::seconds(1)) == 200;
}

namespace {

std::string portTaken(int port) {
  return "port " + std::to_string(port) + " is used by another program (quorvel-cli stop ends a model server of ours)";
}

std::string noKey() {
  return "the model servers were not started: their key cannot be made in " + LocalHTTP::apiKeyFile().string() +
         " (without one any user of this computer could use them)";
}

// SIGTERM to each, then SIGKILL to what has not ended in time: a server can
// hang in its own shutdown, holding its memory (gigabytes) and its port.
void endServers(const std::vector<pid_t>& pids) {
  std::vector<std::pair<pid_t, unsigned long long>> running;
  for (pid_t pid : pids) {
    const unsigned long long started = servers::startTime(pid);
    if (started != 0 && ::kill(pid, SIGTERM) == 0) running.emplace_back(pid, started);
  }
  const auto deadline = std::chrono::steady_clock::now() + Subprocess::kTermGrace;
  for (;;) {
    std::erase_if(running, [](const auto& p) { return servers::startTime(p.first) != p.second; });
    if (running.empty()) break;
    if (std::chrono::steady_clock::now() >= deadline) {
      for (const auto& [pid, started] : running) ::kill(pid, SIGKILL);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

// What holds a model port before a start.
enum class OnPort {
  free,      // nothing that answers: ours is launched
  reusable,  // our server of our model, with our key
  staleKey,  // our server, started with a key that has since been replaced
  taken,     // another user's program, or one that serves another model
};

OnPort look(int port, const std::string& baseURL, const std::string& file) {
  // The owner first: another user's listener gets no request at all.
  switch (tcp::listener(port)) {
    case tcp::Owner::none: return OnPort::free;
    case tcp::Owner::other: return OnPort::taken;
    case tcp::Owner::us: break;
  }
  if (LocalHTTP::getStatus(baseURL + "/health", std::chrono::seconds(1)) != 200) return OnPort::free;
  // Anyone can make a server name our model file: the key decides too.
  std::string body;
  const long status = LocalHTTP::getStatus(baseURL + "/props", std::chrono::seconds(2), &body, /*withKey=*/true);
  if (status == 401) {
    const auto pid = servers::listenerProcess(port);
    const auto mine = servers::ours();
    return pid && std::find(mine.begin(), mine.end(), *pid) != mine.end() ? OnPort::staleKey : OnPort::taken;
  }
  if (status != 200) return OnPort::taken;
  const auto props = nlohmann::json::parse(body, nullptr, /*allow_exceptions=*/false);
  if (!props.is_object()) return OnPort::taken;
  const auto it = props.find("model_path");
  const bool ours =
      it != props.end() && it->is_string() && std::filesystem::path(it->get<std::string>()).filename() == file;
  return ours ? OnPort::reusable : OnPort::taken;
}

// Ends our server on `port` (started with a key since replaced) and waits
// until the port is free for its successor.
void endStale(int port) {
  if (const auto pid = servers::listenerProcess(port)) endServers({*pid});
  for (int i = 0; i < 100 && tcp::listener(port) != tcp::Owner::none; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

Subprocess launch(const std::string& exe, const std::string& name, const std::vector<std::string>& args) {
  Subprocess::Options o;
  // The server's output goes to its log; when the log cannot be made it goes
  // nowhere rather than into the tool's own output.
  o.out = Subprocess::Stream::toFile;
  o.outFile = Paths::logs() / (name + ".log");
  o.err = Subprocess::Stream::sameAsOut;
  // A session of its own: the server outlives the tool and its terminal.
  o.newSession = true;
  std::vector<std::string> argv{exe};
  argv.insert(argv.end(), args.begin(), args.end());
  // Only requests that carry the key are served; it is read from its file,
  // never written on the command line where every user can see it. No slot
  // is ever saved or listed: nothing of ours uses them.
  argv.insert(argv.end(), {"--no-slots", "--api-key-file", LocalHTTP::apiKeyFile().string()});
  Subprocess p(argv, o);
  p.detach();
  if (p.started()) servers::remember(p.pid());
  return p;
}

}  // namespace

// The start's checks in the order they must be made (program, models,
// servers already answering), then the launch and the wait: one sequence
// under one generation, kept together.
void Engine::start() {
  uint64_t gen = 0;
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (state_.kind == State::Kind::starting || state_.kind == State::Kind::ready) return;
    state_ = State::starting();
    gen = ++generation_;
  }
  notify(State::starting());
  auto fail = [&](const std::string& why, Problem p) { setStateIf(gen, State::failed(why, p)); };

  Paths::ensure();
  const auto exe = Paths::llamaServer();
  if (!exe) return fail(kNotFound, Problem::notFound);
  const auto chatModel = ModelCatalog::installedChat();
  if (!chatModel) return fail(kNoModel, Problem::noModel);
  if (!ModelCatalog::isInstalled(ModelCatalog::embedding())) return fail(kNoSearchModel, Problem::noSearchModel);
  // A damaged file is named now, not found out as a server that died.
  for (const ModelSpec& m : {*chatModel, ModelCatalog::embedding()})
    if (auto why = ModelCatalog::damage(m))
      return fail(kDamaged + ModelCatalog::path(m).string() + " (" + *why + ")", Problem::damaged);

  // Never a server without the key: any user could read its slots, its
  // properties (the support folder's path) and get embeddings.
  const std::string key = LocalHTTP::apiKey();
  if (key.empty()) return fail(noKey(), Problem::noKey);
  // A server already answering is used only when it is this user's, serves
  // our model and knows our key.
  const OnPort chatOn = look(chatPort, chatURL(), chatModel->file);
  if (chatOn == OnPort::taken) return fail(portTaken(chatPort), Problem::portTaken);
  const OnPort embedOn = look(embedPort, embedURL(), ModelCatalog::embedding().file);
  if (embedOn == OnPort::taken) return fail(portTaken(embedPort), Problem::portTaken);
  if (chatOn == OnPort::staleKey) endStale(chatPort);
  if (embedOn == OnPort::staleKey) endStale(embedPort);
  const bool chatUp = chatOn == OnPort::reusable, embedUp = embedOn == OnPort::reusable;
  const std::string models = Paths::models().string();
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (gen != generation_) return;  // stopped meanwhile
    key_ = key;
    if (!chatUp) {
      // clang-format off
      children_->chat =
          launch(exe->string(), "chat",
                 {"-m", models + "/" + chatModel->file, "--host", "127.0.0.1", "--port", std::to_string(chatPort), "-c",
                  "8192", "-ngl", "99", "-np", "1", "--no-webui", "--offline", "--jinja",
                  "--cache-ram", kChatPromptCacheMiB});
      // clang-format on
      children_->chatLaunched = true;
    }
    if (!embedUp) {
      // clang-format off
      children_->embed = launch(exe->string(), "embed",
                                {"-m", models + "/" + ModelCatalog::embedding().file, "--host", "127.0.0.1", "--port",
                                 std::to_string(embedPort), "--embedding", "--pooling", "last", "-c", kEmbedContext,
                                 "-b", kEmbedContext, "-ub", kEmbedContext, "-np", "1", "-ngl", "99", "--no-webui",
                                 "--offline"});
      // clang-format on
      children_->embedLaunched = true;
    }
  }
  for (int poll = 0;; ++poll) {
    // Ours, then answering: a server of another user that took the port
    // first is sent nothing (ours then exits, unable to listen).
    if (servers::listenerIsOurs(chatPort) && servers::listenerIsOurs(embedPort) && healthy(chatURL()) &&
        healthy(embedURL())) {
      setStateIf(gen, State::ready());
      return;
    }
    bool died = false;
    {
      std::lock_guard<std::mutex> lock(mu_);
      if (gen != generation_) return;
      // A bad model file, a port taken by something else: the log says why.
      died = children_->anyDied();
    }
    if (!died) std::this_thread::sleep_for(std::chrono::milliseconds(pollMillis));
    if (died || poll >= maxPolls - 1) {
      {
        std::lock_guard<std::mutex> lock(mu_);
        if (gen != generation_) return;
        children_->terminate();
        state_ = State::stopped();
      }
      notify(State::stopped());
      // Another program took the port before ours could listen: no restart
      // of the computer mends that.
      for (int port : {chatPort, embedPort})
        if (tcp::listener(port) == tcp::Owner::other) return fail(portTaken(port), Problem::portTaken);
      return fail(kDidNotStart, Problem::didNotStart);
    }
  }
}

void Engine::stop() {
  State now;
  {
    std::lock_guard<std::mutex> lock(mu_);
    children_->terminate();
    ++generation_;  // a start under way gives up
    if (state_.kind != State::Kind::failed) state_ = State::stopped();
    now = state_;
  }
  if (now.kind != State::Kind::failed) notify(now);
}

void Engine::stopAll() {
  stop();
  // Only the servers of this support folder: those it started, and any of
  // this user's that serve a model file of its own. A pattern over every
  // process would end other users' and other support folders' servers.
  endServers(servers::ours());
  servers::forget();
  setState(State::stopped());
}

namespace {

// Whether something accepts connections on the port: the kernel accepts for
// a listening server however busy it is, and refuses at once when none is.
bool listening(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return true;  // cannot tell: not taken for a death
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const int rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
  const int err = errno;
  ::close(fd);
  return rc == 0 || err != ECONNREFUSED;
}

}  // namespace

bool Engine::checkServers(std::chrono::milliseconds settle) {
  uint64_t gen = 0;
  bool died = false;
  std::string key;
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (state_.kind != State::Kind::ready) return true;
    gen = generation_;
    died = children_->anyDied();
    key = key_;
  }
  // A key deleted, emptied or spent meanwhile has been made anew: servers
  // that know only the old one refuse every request until restarted.
  died = died || LocalHTTP::apiKey() != key;
  // A server that is dying has closed its connections a moment before its
  // port and its exit show: a caller whose request just broke waits a little.
  const auto until = std::chrono::steady_clock::now() + settle;
  // Another user's program that took a port after our server there died is
  // no server of ours, however well it answers the door.
  auto there = [](int port) { return listening(port) && tcp::listener(port) != tcp::Owner::other; };
  while (!died && there(chatPort) && there(embedPort)) {
    if (std::chrono::steady_clock::now() >= until) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::lock_guard<std::mutex> lock(mu_);
    died = children_->anyDied();
  }
  const State lost = State::failed(kStopped, Problem::serverStopped);
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (gen != generation_ || state_.kind != State::Kind::ready) return true;
    // The one still running is ended too: the next start launches both anew.
    children_->terminate();
    ++generation_;
    state_ = lost;
  }
  notify(lost);
  return false;
}

std::string Engine::chatModelTitle() {
  const auto m = ModelCatalog::installedChat();
  return m ? m->title : "\u2014";
}

}  // namespace quorvel
