#include "chat.h"

#include <nlohmann/json.hpp>

#include "engine.h"
#include "local_http.h"

namespace quorvel {

using nlohmann::json;

namespace {

json requestBody(const std::string& system, const std::string& user, bool stream) {
  return json{{"messages", json::array({{{"role", "system"}, {"content", system}}, {{"role", "user"}, {"content", user}}})},
              {"temperature", 0},
              {"top_k", 1},
              {"seed", 42},
              {"max_tokens", 400},
              {"stream", stream},
              // Qwen3's thinking would spend the whole token budget before the reply.
              {"chat_template_kwargs", {{"enable_thinking", false}}}};
}

const json* member(const json& j, const char* key) {
  if (!j.is_object()) return nullptr;
  auto it = j.find(key);
  return it == j.end() ? nullptr : &*it;
}

const json* firstChoice(const json& reply) {
  const json* choices = member(reply, "choices");
  if (choices == nullptr || !choices->is_array() || choices->empty()) return nullptr;
  return &(*choices)[0];
}

std::string errorText(const json& error) {
  if (const json* m = member(error, "message"); m != nullptr && m->is_string()) return m->get<std::string>();
  if (error.is_string()) return error.get<std::string>();
  return error.dump();
}

}  // namespace

void Chat::Stream::feed(std::string_view bytes) {
  if (done_) return;
  pending_.append(bytes);
  std::size_t start = 0;
  for (;;) {
    const auto nl = pending_.find('\n', start);
    if (nl == std::string::npos) break;
    std::string_view l(pending_.data() + start, nl - start);
    if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
    start = nl + 1;
    line(l);
    if (done_) {
      pending_.clear();
      return;
    }
  }
  pending_.erase(0, start);
}

void Chat::Stream::finish() {
  if (!done_ && !pending_.empty()) {
    std::string last;
    last.swap(pending_);
    line(last);
  }
  if (!done_) throw ChatError("the model server's reply ended before it was complete");
}

void Chat::Stream::line(std::string_view l) {
  if (l.substr(0, 6) != "data: ") return;  // comments, event names, blank separators
  const std::string_view payload = l.substr(6);
  if (payload == "[DONE]") {
    done_ = true;
    return;
  }
  json event = json::parse(payload, nullptr, /*allow_exceptions=*/false);
  if (!event.is_object()) return;
  if (const json* error = member(event, "error")) throw ChatError("the model server failed: " + errorText(*error));
  if (const json* choice = firstChoice(event)) {
    const json* delta = member(*choice, "delta");
    const json* content = delta != nullptr ? member(*delta, "content") : nullptr;
    if (content != nullptr && content->is_string()) {
      const std::string piece = content->get<std::string>();
      text_ += piece;
      if (onToken_ && text_.compare(0, 4, "NOT_") != 0) onToken_(piece);
    }
  }
  if (const json* timings = member(event, "timings"); timings != nullptr && timings->is_object()) {
    if (const json* n = member(*timings, "predicted_n"); n != nullptr && n->is_number_integer())
      count_.tokens = n->get<int64_t>();
    if (const json* s = member(*timings, "predicted_per_second"); s != nullptr && s->is_number())
      count_.perSecond = s->get<double>();
  }
}

std::pair<std::string, Chat::Count> Chat::complete(const std::string& system, const std::string& user,
                                                   const TokenCallback& onToken) {
  const std::string url = Engine::chatURL() + "/v1/chat/completions";
  if (onToken) {
    Stream stream(onToken);
    LocalHTTP::postStreaming(url, requestBody(system, user, true), [&stream](std::string_view b) { stream.feed(b); });
    stream.finish();
    return {stream.text(), stream.count()};
  }
  const json reply = LocalHTTP::postJSON(url, requestBody(system, user, false));
  std::string text;
  if (const json* choice = firstChoice(reply)) {
    const json* message = member(*choice, "message");
    const json* content = message != nullptr ? member(*message, "content") : nullptr;
    if (content != nullptr && content->is_string()) text = content->get<std::string>();
  }
  Count count;
  const json* timings = member(reply, "timings");
  const json* usage = member(reply, "usage");
  if (const json* n = timings ? member(*timings, "predicted_n") : nullptr; n != nullptr && n->is_number_integer())
    count.tokens = n->get<int64_t>();
  else if (const json* u = usage ? member(*usage, "completion_tokens") : nullptr; u != nullptr && u->is_number_integer())
    count.tokens = u->get<int64_t>();
  if (const json* s = timings ? member(*timings, "predicted_per_second") : nullptr; s != nullptr && s->is_number())
    count.perSecond = s->get<double>();
  return {text, count};
}

}  // namespace quorvel
