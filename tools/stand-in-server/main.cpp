// A stand-in for llama-server, for tests and for trying Quorvel without the
// real models. It takes exactly the command lines the engine uses and serves
// /health, /v1/chat/completions (plain and streamed) and /v1/embeddings with
// deterministic replies. Faults are switched on through environment
// variables (see README.md beside this file).
#include <fcntl.h>
#include <httplib.h>
#include <nlohmann/json.hpp>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <thread>

#include "replies.h"

using nlohmann::json;

namespace {

std::string env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

struct Options {
  std::string model;
  std::string host = "127.0.0.1";
  int port = 8080;
  bool embedding = false;
  std::string apiKey;  // from --api-key-file; empty: every request is served
};

bool roleMatches(const std::string& value, bool embedding) {
  if (value.empty() || value == "0") return false;
  if (value == "chat") return !embedding;
  if (value == "embed") return embedding;
  return true;  // "1", "both"
}

bool fault(const char* name, const Options& o) { return roleMatches(env(name), o.embedding); }

int envInt(const char* name, int fallback) {
  const std::string v = env(name);
  return v.empty() ? fallback : std::atoi(v.c_str());
}

[[noreturn]] void refuse(const std::string& message) {
  std::fprintf(stderr, "%s\n", message.c_str());
  std::exit(1);
}

Options parse(int argc, char** argv) {
  // The flags the engine passes, and whether each takes a value.
  static const std::map<std::string, bool> known{{"-m", true},           {"--host", true},        {"--port", true},
                                                 {"-c", true},           {"-ngl", true},          {"-np", true},
                                                 {"-b", true},           {"-ub", true},           {"--pooling", true},
                                                 {"--no-webui", false},  {"--offline", false},    {"--jinja", false},
                                                 {"--embedding", false}, {"--api-key-file", true},
                                                 {"--no-slots", false},  {"--cache-ram", true}};
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto it = known.find(a);
    if (it == known.end()) refuse("error: invalid argument: " + a);
    std::string value;
    if (it->second) {
      if (i + 1 >= argc) refuse("error: expected value for argument: " + a);
      value = argv[++i];
    }
    if (a == "-m") o.model = value;
    if (a == "--host") o.host = value;
    if (a == "--port") o.port = std::atoi(value.c_str());
    if (a == "--embedding") o.embedding = true;
    if (a == "--api-key-file") {
      std::ifstream in(value);
      if (!in || !std::getline(in, o.apiKey) || o.apiKey.empty())
        refuse("error: cannot read the API key file " + value);
    }
    if (a == "--pooling" && value != "last" && value != "mean" && value != "cls" && value != "none")
      refuse("error: invalid value for --pooling: " + value);
  }
  struct stat st {};
  if (o.model.empty() || ::stat(o.model.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
    refuse("llama_model_load: error loading model: failed to open " + o.model + "\nmain: error: unable to load model");
  return o;
}

// Every request, one JSON line, for tests that check what was sent.
void record(const std::string& path, const httplib::Request& req) {
  const std::string file = env("QUORVEL_STANDIN_RECORD");
  if (file.empty()) return;
  json line{{"path", path}, {"body", json::parse(req.body, nullptr, false)}};
  const std::string text = line.dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
  const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT, 0600);
  if (fd >= 0) {
    if (::write(fd, text.data(), text.size()) < 0) std::perror("record");
    ::close(fd);
  }
}

// Every request's path and the key it carried, one line each, for tests
// that check whom the key is sent to.
void recordKey(const httplib::Request& req) {
  const std::string file = env("QUORVEL_STANDIN_RECORD_KEYS");
  if (file.empty()) return;
  const std::string line = req.path + " " + req.get_header_value("Authorization") + "\n";
  const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT, 0666);
  if (fd >= 0) {
    if (::write(fd, line.data(), line.size()) < 0) std::perror("record");
    ::close(fd);
  }
}

json errorBody(int code, const std::string& message, const std::string& type) {
  return json{{"error", {{"code", code}, {"message", message}, {"type", type}}}};
}

// The reply cut into word-sized pieces, as tokens arrive from a real model.
std::vector<std::string> pieces(const std::string& text) {
  std::vector<std::string> out;
  std::string cur;
  for (char c : text) {
    cur.push_back(c);
    if (c == ' ' && cur.size() > 1) {
      out.push_back(cur);
      cur.clear();
    }
  }
  if (!cur.empty()) out.push_back(cur);
  return out;
}

json timings(std::size_t n) {
  return json{{"prompt_n", 10},   {"prompt_ms", 5.0},         {"prompt_per_second", 2000.0},
              {"predicted_n", n}, {"predicted_ms", n * 40.0}, {"predicted_per_second", 25.0}};
}

}  // namespace

// The routes in one place: each is a few lines, and they share the options
// and the faults read at start.
int main(int argc, char** argv) {
  const Options o = parse(argc, argv);
  if (fault("QUORVEL_STANDIN_EXIT_AT_START", o)) refuse("stand-in: failing at start as asked");
  std::printf("stand-in llama-server: %s model %s on %s:%d\n", o.embedding ? "embedding" : "chat", o.model.c_str(),
              o.host.c_str(), o.port);
  std::fflush(stdout);

  // Before it listens, a real server refuses connections; while it loads the
  // model, /health says 503.
  std::this_thread::sleep_for(std::chrono::milliseconds(envInt("QUORVEL_STANDIN_BIND_DELAY_MS", 0)));
  const auto loadedAt =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(envInt("QUORVEL_STANDIN_LOAD_MS", 100));
  auto loaded = [loadedAt] { return std::chrono::steady_clock::now() >= loadedAt; };
  const int dim = envInt("QUORVEL_STANDIN_DIM", 256);

  httplib::Server server;
  // As the real server: with a key, every endpoint but /health and the model
  // list wants it, as "Authorization: Bearer <key>".
  server.set_pre_routing_handler([&](const httplib::Request& req, httplib::Response& res) {
    recordKey(req);
    if (o.apiKey.empty() || req.path == "/health" || req.path == "/v1/health" || req.path == "/models" ||
        req.path == "/v1/models")
      return httplib::Server::HandlerResponse::Unhandled;
    if (req.get_header_value("Authorization") == "Bearer " + o.apiKey)
      return httplib::Server::HandlerResponse::Unhandled;
    res.status = 401;
    res.set_content(errorBody(401, "Invalid API Key", "authentication_error").dump(), "application/json");
    return httplib::Server::HandlerResponse::Handled;
  });
  server.Get("/health", [&](const httplib::Request&, httplib::Response& res) {
    if (!loaded()) {
      res.status = 503;
      res.set_content(errorBody(503, "Loading model", "unavailable_error").dump(), "application/json");
      return;
    }
    res.set_content(R"({"status":"ok"})", "application/json");
  });

  // What the engine asks a server it did not start, to know it as its own.
  server.Get("/props", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content(json{{"model_path", o.model}, {"total_slots", 1}}.dump(), "application/json");
  });

  server.Post("/v1/embeddings", [&](const httplib::Request& req, httplib::Response& res) {
    record("/v1/embeddings", req);
    const json body = json::parse(req.body, nullptr, false);
    if (!o.embedding || !loaded() || fault("QUORVEL_STANDIN_ERROR", o) || !body.is_object() ||
        !body.contains("input")) {
      res.status = o.embedding ? 500 : 501;
      res.set_content(errorBody(res.status, "embeddings failed", "server_error").dump(), "application/json");
      return;
    }
    std::vector<std::string> inputs;
    if (body["input"].is_string())
      inputs.push_back(body["input"].get<std::string>());
    else
      for (const auto& x : body["input"]) inputs.push_back(x.is_string() ? x.get<std::string>() : std::string());
    json data = json::array();
    std::size_t count = inputs.size();
    if (fault("QUORVEL_STANDIN_FEWER_VECTORS", o) && count > 0) --count;
    for (std::size_t i = 0; i < count; ++i)
      data.push_back({{"object", "embedding"}, {"index", i}, {"embedding", standin::embed(inputs[i], dim)}});
    if (fault("QUORVEL_STANDIN_SHUFFLE", o)) std::reverse(data.begin(), data.end());
    json reply{{"object", "list"},
               {"model", o.model},
               {"data", data},
               {"usage", {{"prompt_tokens", inputs.size()}, {"total_tokens", inputs.size()}}}};
    if (fault("QUORVEL_STANDIN_MISSING_FIELDS", o)) reply.erase("data");
    res.set_content(reply.dump(), "application/json");
  });

  server.Post("/v1/chat/completions", [&](const httplib::Request& req, httplib::Response& res) {
    record("/v1/chat/completions", req);
    const json body = json::parse(req.body, nullptr, false);
    if (o.embedding || !loaded() || fault("QUORVEL_STANDIN_ERROR", o) || !body.is_object() ||
        !body.contains("messages") || !body["messages"].is_array()) {
      res.status = 500;
      res.set_content(errorBody(500, "completion failed", "server_error").dump(), "application/json");
      return;
    }
    std::string system, user;
    for (const auto& m : body["messages"]) {
      if (!m.is_object() || !m.contains("content") || !m["content"].is_string()) continue;
      (m.value("role", "") == "system" ? system : user) = m["content"].get<std::string>();
    }
    // A slow model: the reply takes this long to begin.
    std::this_thread::sleep_for(std::chrono::milliseconds(envInt("QUORVEL_STANDIN_REPLY_DELAY_MS", 0)));
    // As llama-server's tokenizer often does, the reply may begin with a space.
    const std::string reply = (env("QUORVEL_STANDIN_LEADING_SPACE") == "1" ? " " : "") + standin::chatReply(system, user);
    const auto parts = pieces(reply);
    const bool missing = fault("QUORVEL_STANDIN_MISSING_FIELDS", o);
    if (!body.value("stream", false)) {
      json r{
          {"id", "chatcmpl-standin"},
          {"object", "chat.completion"},
          {"model", o.model},
          {"choices",
           {{{"index", 0}, {"finish_reason", "stop"}, {"message", {{"role", "assistant"}, {"content", reply}}}}}},
          {"usage", {{"completion_tokens", parts.size()}, {"prompt_tokens", 10}, {"total_tokens", 10 + parts.size()}}},
          {"timings", timings(parts.size())}};
      if (missing) {
        r.erase("choices");
        r.erase("timings");
      }
      res.set_content(r.dump(), "application/json");
      return;
    }
    const bool errorEvent = env("QUORVEL_STANDIN_ERROR_EVENT") == "1";
    const bool cut = env("QUORVEL_STANDIN_CUT_STREAM") == "1";
    res.set_chunked_content_provider("text/event-stream", [=](size_t, httplib::DataSink& sink) {
      auto send = [&sink](const json& event) {
        const std::string line = "data: " + event.dump() + "\n\n";
        return sink.write(line.data(), line.size());
      };
      auto chunk = [&](const json& delta, const json& finish) {
        return json{{"id", "chatcmpl-standin"},
                    {"object", "chat.completion.chunk"},
                    {"model", o.model},
                    {"choices", {{{"index", 0}, {"delta", delta}, {"finish_reason", finish}}}}};
      };
      send(chunk({{"role", "assistant"}, {"content", nullptr}}, nullptr));
      for (std::size_t i = 0; i < parts.size(); ++i) {
        if (cut && i == parts.size() / 2) std::_Exit(3);  // the server dies in the middle of the stream
        if (errorEvent && i == 1) {
          send(errorBody(500, "generation failed", "server_error"));
          sink.done();
          return true;
        }
        send(chunk(missing ? json::object() : json{{"content", parts[i]}}, nullptr));
      }
      json last = chunk(json::object(), "stop");
      if (!missing) last["timings"] = timings(parts.size());
      send(last);
      const std::string done = "data: [DONE]\n\n";
      sink.write(done.data(), done.size());
      sink.done();
      return true;
    });
  });

  // As llama-server does: connections it closed itself wait out TIME_WAIT on
  // this port, and a restart must not be refused for them.
  server.set_socket_options([](socket_t sock) {
    int yes = 1;
    ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  if (!server.listen(o.host.c_str(), o.port)) {
    std::fprintf(stderr, "stand-in: cannot listen on %s:%d\n", o.host.c_str(), o.port);
    return 1;
  }
  return 0;
}
