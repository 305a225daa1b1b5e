// HTTP to the model servers, which only ever listen on 127.0.0.1. Nothing is
// sent anywhere else, and no proxy is ever used.
#pragma once

#include <nlohmann/json.hpp>

#include <chrono>
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
  // POSTs `body` as JSON and parses the reply; a reply that is not an object
  // gives an empty object. Throws NotLocal, HttpError or a JSON parse error.
  static nlohmann::json postJSON(const std::string& url, const nlohmann::json& body);

  // POSTs `body` and hands the reply body to `onData` piece by piece as it
  // arrives. Throws NotLocal or HttpError.
  static void postStreaming(const std::string& url, const nlohmann::json& body,
                            const std::function<void(std::string_view)>& onData);

  // GET with a time-out; the HTTP status, or 0 when there was no answer.
  static long getStatus(const std::string& url, std::chrono::milliseconds timeout);

  // Whether the URL's host is exactly 127.0.0.1.
  static bool isLoopback(std::string_view url);
};

}  // namespace quorvel
