// HTTP to the model servers, which only ever listen on 127.0.0.1. Nothing is
// sent anywhere else, and no proxy is ever used.
#pragma once

#include <nlohmann/json.hpp>

#include <chrono>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quorvel {

// A request addressed to any host but 127.0.0.1.
struct NotLocal : std::runtime_error {
  NotLocal() : std::runtime_error("refused: model requests go only to 127.0.0.1") {}
};

// The model server could not be reached or the transfer broke off.
struct HttpError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// libcurl's process-wide set-up, done once, before the first transfer of
// either the model download or the loopback client.
void initCurl();

struct LocalHTTP {
  // A request may take 300 seconds in all. A streamed reply may pause 60
  // seconds between bytes; a reply that only comes when it is complete gets
  // the whole 300 before its first byte.
  static constexpr std::chrono::seconds kSessionLimit{300};
  static constexpr std::chrono::seconds kIdleLimit{60};

  // POSTs `body` as JSON and parses the reply, which comes whole. Throws
  // NotLocal, HttpError, or HttpError naming the server when the reply is
  // not a JSON object. With `stopped`, asked while the request runs (at
  // least about once a second), the request is given up (HttpError).
  static nlohmann::json postJSON(const std::string& url, const nlohmann::json& body,
                                 const std::function<bool()>& stopped = {});

  // POSTs `body` and hands the reply body to `onData` piece by piece as it
  // arrives, allowing `idle` between bytes. Throws NotLocal or HttpError.
  static void postStreaming(const std::string& url, const nlohmann::json& body,
                            const std::function<void(std::string_view)>& onData,
                            std::chrono::seconds idle = kIdleLimit);

  // GET with a time-out; the HTTP status, or 0 when there was no answer.
  // With `body`, the reply's first bytes (up to 64 KB) are kept there. The
  // key goes only with `withKey` (/health wants none), and then only to a
  // server of this user, as with every POST (0 otherwise).
  static long getStatus(const std::string& url, std::chrono::milliseconds timeout, std::string* body = nullptr,
                        bool withKey = false);

  // Whether the URL's host is exactly 127.0.0.1.
  static bool isLoopback(std::string_view url);

  // The key the model servers are started with (--api-key-file) and that
  // every request carries, so that other users of the computer and web pages
  // (the server allows every origin) cannot use them. Kept in the support
  // folder (mode 0600, opened without following a link), made on first use
  // and made anew when it is missing, damaged or readable by anyone else;
  // empty when it cannot be made.
  static std::string apiKey();
  static std::filesystem::path apiKeyFile();
};

}  // namespace quorvel
