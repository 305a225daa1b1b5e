#include <quorvel/chat.h>

#include <nlohmann/json.hpp>
#include <simdjson.h>

#include <optional>

#include <quorvel/engine.h>

#include "platform/local_http.h"

namespace quorvel {

using nlohmann::json;

namespace {

json requestBody(const std::string& system, const std::string& user, bool stream, int maxTokens) {
  return json{
      {"messages", json::array({{{"role", "system"}, {"content", system}}, {{"role", "user"}, {"content", user}}})},
      {"temperature", 0},
      {"top_k", 1},
      {"seed", 42},
      {"max_tokens", maxTokens},
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

const json* integer(const json* object, const char* key) {
  const json* v = object != nullptr ? member(*object, key) : nullptr;
  return v != nullptr && v->is_number_integer() ? v : nullptr;
}

// The figures of a reply that came whole.
Chat::Count countOf(const json& reply) {
  Chat::Count count;
  const json* timings = member(reply, "timings");
  const json* usage = member(reply, "usage");
  if (const json* n = integer(timings, "predicted_n"))
    count.tokens = n->get<int64_t>();
  else if (const json* u = integer(usage, "completion_tokens"))
    count.tokens = u->get<int64_t>();
  if (const json* s = timings ? member(*timings, "predicted_per_second") : nullptr; s != nullptr && s->is_number())
    count.perSecond = s->get<double>();
  if (const json* n = integer(timings, "prompt_n")) count.promptEvaluated = n->get<int64_t>();
  if (const json* n = integer(timings, "cache_n")) count.promptCached = n->get<int64_t>();
  const json* choice = firstChoice(reply);
  const json* finish = choice != nullptr ? member(*choice, "finish_reason") : nullptr;
  count.cutOff = finish != nullptr && finish->is_string() && finish->get<std::string>() == "length";
  return count;
}

// A failure must never read as an empty reply: that would be "not in our
// documents" for a question the documents answer.
void throwIfFailed(const json& reply) {
  if (const json* error = member(reply, "error")) {
    const json* message = member(*error, "message");
    throw ChatError("the model server failed: " + (message != nullptr && message->is_string()
                                                       ? message->get<std::string>()
                                                       : std::string("unknown error")));
  }
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

// One event of the stream, read in order by the on-demand parser (its
// values are valid only in reading order), with each field's fallback.
void Chat::Stream::line(std::string_view l) {
  if (l.substr(0, 6) != "data: ") return;  // comments, event names, blank separators
  const std::string_view payload = l.substr(6);
  if (payload == "[DONE]") {
    done_ = true;
    return;
  }
  // simdjson: a stream of a thousand small events must cost next to nothing.
  thread_local simdjson::ondemand::parser parser;
  const simdjson::padded_string padded(payload);
  simdjson::ondemand::document doc;
  simdjson::ondemand::object event;
  if (parser.iterate(padded).get(doc) || doc.get_object().get(event)) return;  // not an object: skipped
  std::string piece;
  bool hasPiece = false;
  std::optional<std::string> error;
  try {
    for (auto field : event) {
      std::string_view key;
      if (field.unescaped_key().get(key)) return;
      simdjson::ondemand::value value = field.value();
      if (key == "error") {
        // Keep the message, or the raw error value when it has none.
        simdjson::ondemand::object e;
        std::string_view message;
        if (!value.get_object().get(e) && !e["message"].get_string().get(message))
          error = std::string(message);
        else
          error = "unknown error";
      } else if (key == "choices") {
        simdjson::ondemand::array choices;
        if (value.get_array().get(choices)) continue;
        for (auto choice : choices) {
          simdjson::ondemand::object c, delta;
          std::string_view content, finish;
          if (choice.get_object().get(c)) break;
          // In reading order: "finish_reason" comes after "delta".
          for (auto cf : c) {
            std::string_view ck;
            if (cf.unescaped_key().get(ck)) break;
            if (ck == "delta" && !cf.value().get_object().get(delta) && !delta["content"].get_string().get(content)) {
              piece = std::string(content);
              hasPiece = true;
            } else if (ck == "finish_reason" && !cf.value().get_string().get(finish)) {
              count_.cutOff = finish == "length";
            }
          }
          break;  // the first choice only
        }
      } else if (key == "timings") {
        simdjson::ondemand::object t;
        if (value.get_object().get(t)) continue;
        for (auto tf : t) {
          std::string_view tk;
          if (tf.unescaped_key().get(tk)) break;
          if (tk == "predicted_n") {
            int64_t n;
            if (!tf.value().get_int64().get(n)) count_.tokens = n;
          } else if (tk == "predicted_per_second") {
            double d;
            if (!tf.value().get_double().get(d)) count_.perSecond = d;
          } else if (tk == "prompt_n" || tk == "cache_n") {
            int64_t n;
            if (!tf.value().get_int64().get(n)) (tk == "prompt_n" ? count_.promptEvaluated : count_.promptCached) = n;
          }
        }
      }
    }
  } catch (const simdjson::simdjson_error&) {
    return;  // a malformed event is skipped like one that does not parse
  }
  if (error) throw ChatError("the model server failed: " + *error);
  if (hasPiece) {
    text_ += piece;
    if (onToken_ && text_.compare(0, 4, "NOT_") != 0) onToken_(piece);
  }
}

std::pair<std::string, Chat::Count> Chat::complete(const std::string& system, const std::string& user,
                                                   const TokenCallback& onToken, int maxTokens) {
  const std::string url = Engine::chatURL() + "/v1/chat/completions";
  std::pair<std::string, Count> result;
  if (onToken) {
    Stream stream(onToken);
    LocalHTTP::postStreaming(url, requestBody(system, user, true, maxTokens),
                             [&stream](std::string_view b) { stream.feed(b); });
    stream.finish();
    result = {stream.text(), stream.count()};
  } else {
    const json reply = LocalHTTP::postJSON(url, requestBody(system, user, false, maxTokens));
    throwIfFailed(reply);
    const json* choice = firstChoice(reply);
    const json* message = choice != nullptr ? member(*choice, "message") : nullptr;
    if (message == nullptr || !message->is_object()) throw ChatError("the model server's reply holds no message");
    const json* content = member(*message, "content");
    if (content != nullptr && content->is_string()) result.first = content->get<std::string>();
    result.second = countOf(reply);
  }
  if (observer) observer(system, maxTokens, result.second);
  return result;
}

Chat::Count Chat::read(const std::string& system, const std::string& user, const std::function<bool()>& stopped) {
  const std::string url = Engine::chatURL() + "/v1/chat/completions";
  // The same request as the reply's but for the number to generate: the
  // server's prompt cache matches the two token for token.
  json reply;
  try {
    reply = LocalHTTP::postJSON(url, requestBody(system, user, false, 0), stopped);
  } catch (const HttpError&) {
    if (stopped && stopped()) throw Stopped{};
    throw;
  }
  throwIfFailed(reply);
  const Count count = countOf(reply);
  if (observer) observer(system, 0, count);
  return count;
}

}  // namespace quorvel
