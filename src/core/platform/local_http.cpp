#include "platform/local_http.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <exception>
#include <memory>
#include <mutex>

#include <quorvel/paths.h>

#include "platform/file_util.h"
#include "platform/tcp_owner.h"
#include "platform/text.h"

namespace quorvel {

namespace {

// One handle per thread. Connections are not kept between requests: the
// servers answer with headers and body in separate writes, and on a reused
// connection Nagle's algorithm meets the client's delayed ACK, a 40 ms stall
// per request. A fresh loopback connection costs a tenth of a millisecond.
CURL* handle() {
  initCurl();
  struct Free {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
  };
  thread_local std::unique_ptr<CURL, Free> h(curl_easy_init());
  curl_easy_reset(h.get());
  curl_easy_setopt(h.get(), CURLOPT_NOPROXY, "*");
  curl_easy_setopt(h.get(), CURLOPT_PROXY, "");
  curl_easy_setopt(h.get(), CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h.get(), CURLOPT_FRESH_CONNECT, 1L);
  curl_easy_setopt(h.get(), CURLOPT_FORBID_REUSE, 1L);
  curl_easy_setopt(h.get(), CURLOPT_PROTOCOLS_STR, "http");
  return h.get();
}

struct Headers {
  curl_slist* list = nullptr;
  Headers(bool json, bool key) {
    if (json) list = curl_slist_append(list, "Content-Type: application/json");
    if (const std::string k = key ? LocalHTTP::apiKey() : std::string(); !k.empty())
      list = curl_slist_append(list, ("Authorization: Bearer " + k).c_str());
  }
  ~Headers() { curl_slist_free_all(list); }
};

// Asked by curl once connected, before a byte of the request goes out: a
// request that carries the key goes only to a server of this user. The
// listener checked before the request may have gone and another user's
// program taken the port since; the connection itself cannot change.
int onlyToOurs(void* refused, char*, char*, int port, int localPort) {
  if (tcp::peerIsOurs(port, localPort)) return CURL_PREREQFUNC_OK;
  *static_cast<bool*>(refused) = true;
  return CURL_PREREQFUNC_ABORT;
}

void sendKeyOnlyToOurs(CURL* c, bool* refused) {
  curl_easy_setopt(c, CURLOPT_PREREQFUNCTION, onlyToOurs);
  curl_easy_setopt(c, CURLOPT_PREREQDATA, refused);
}

std::string notOurs(const std::string& url) {
  return "refused: the program listening at " + url + " is another user's, not our model server";
}

// A fresh key: 24 random bytes as hex.
std::string newKey() {
  unsigned char bytes[24];
  if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) return {};
  static const char* hex = "0123456789abcdef";
  std::string key;
  for (unsigned char b : bytes) {
    key.push_back(hex[b >> 4]);
    key.push_back(hex[b & 15]);
  }
  return key;
}

bool plausibleKey(const std::string& key) {
  return key.size() >= 32 && key.find_first_not_of("0123456789abcdef") == std::string::npos;
}

struct Sink {
  const std::function<void(std::string_view)>* f;
  std::exception_ptr error;
};

// Exceptions must not cross curl's C frames: keep the first one, stop the
// transfer, and throw it once curl has returned.
size_t toSink(char* data, size_t size, size_t count, void* user) {
  auto* sink = static_cast<Sink*>(user);
  try {
    (*sink->f)(std::string_view(data, size * count));
  } catch (...) {
    sink->error = std::current_exception();
    return 0;
  }
  return size * count;
}

// Asked by curl while a transfer runs (also while it waits for the reply):
// non-zero ends it.
int stopWhenAsked(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  const auto* stopped = static_cast<const std::function<bool()>*>(user);
  return (*stopped)() ? 1 : 0;
}

void perform(const std::string& url, const std::string& payload, const std::function<void(std::string_view)>& sink,
             std::chrono::seconds idle, const std::function<bool()>& stopped = {}) {
  if (!LocalHTTP::isLoopback(url)) throw NotLocal();
  CURL* c = handle();
  Headers headers(true, true);
  bool refused = false;
  sendKeyOnlyToOurs(c, &refused);
  char errbuf[CURL_ERROR_SIZE] = {};
  curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  curl_easy_setopt(c, CURLOPT_POST, 1L);
  curl_easy_setopt(c, CURLOPT_POSTFIELDS, payload.data());
  curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(payload.size()));
  curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.list);
  Sink s{&sink, nullptr};
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, toSink);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &s);
  curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errbuf);
  // `idle` without a byte from the server is a time-out; a long generation
  // that keeps streaming is not.
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, 60L);
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, static_cast<long>(idle.count()));
  curl_easy_setopt(c, CURLOPT_TIMEOUT, static_cast<long>(LocalHTTP::kSessionLimit.count()));
  if (stopped) {
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, stopWhenAsked);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &stopped);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
  } else {
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 1L);
  }
  const CURLcode rc = curl_easy_perform(c);
  if (s.error) std::rethrow_exception(s.error);
  if (refused) throw HttpError(notOurs(url));
  if (rc != CURLE_OK) {
    const std::string why = errbuf[0] != '\0' ? errbuf : curl_easy_strerror(rc);
    throw HttpError("model server at " + url + " did not answer: " + why);
  }
}

}  // namespace

void initCurl() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool LocalHTTP::isLoopback(std::string_view url) {
  const auto scheme = url.find("://");
  if (scheme == std::string_view::npos) return false;
  std::string_view rest = url.substr(scheme + 3);
  const auto end = rest.find_first_of(":/?#");
  const std::string_view host = rest.substr(0, end);
  // No user part either: "127.0.0.1@elsewhere" names another host.
  return host == "127.0.0.1" && (end == std::string_view::npos || rest[end] != '@');
}

nlohmann::json LocalHTTP::postJSON(const std::string& url, const nlohmann::json& body,
                                   const std::function<bool()>& stopped) {
  std::string reply;
  perform(
      url, body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace),
      [&reply](std::string_view piece) { reply.append(piece); }, kSessionLimit, stopped);
  auto parsed = nlohmann::json::parse(reply, nullptr, /*allow_exceptions=*/false);
  if (!parsed.is_object())
    throw HttpError("the model server at " + url + " sent a reply that is not a JSON object: " + excerpt(reply));
  return parsed;
}

void LocalHTTP::postStreaming(const std::string& url, const nlohmann::json& body,
                              const std::function<void(std::string_view)>& onData, std::chrono::seconds idle) {
  perform(url, body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace), onData, idle);
}

long LocalHTTP::getStatus(const std::string& url, std::chrono::milliseconds timeout, std::string* body, bool withKey) {
  if (!isLoopback(url)) return 0;
  CURL* c = handle();
  Headers headers(false, withKey);
  bool refused = false;
  if (withKey) sendKeyOnlyToOurs(c, &refused);
  curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.list);
  curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(timeout.count()));
  std::string ignored;
  curl_easy_setopt(c, CURLOPT_WRITEDATA, body != nullptr ? body : &ignored);
  curl_easy_setopt(
      c, CURLOPT_WRITEFUNCTION, +[](char* data, size_t size, size_t count, void* user) {
        auto* keep = static_cast<std::string*>(user);
        const size_t room = keep->size() < (64u << 10) ? (64u << 10) - keep->size() : 0;
        keep->append(data, std::min(room, size * count));
        return size * count;
      });
  if (curl_easy_perform(c) != CURLE_OK) return 0;
  long status = 0;
  curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
  return status;
}

std::filesystem::path LocalHTTP::apiKeyFile() { return Paths::support() / "server.key"; }

namespace {

// The key in the file, when the file can be trusted with it: a regular file
// (not a link to one elsewhere), this user's, readable by nobody else. A key
// that another program may have read is spent.
std::string keptKey(const std::filesystem::path& file) {
  UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
  struct stat st {};
  if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() ||
      (st.st_mode & 077) != 0 || st.st_size > 4096)
    return {};
  char buf[4096];
  const ssize_t n = ::read(fd.get(), buf, sizeof buf);
  std::string key(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
  while (!key.empty() && (key.back() == '\n' || key.back() == '\r')) key.pop_back();
  return plausibleKey(key) ? key : std::string();
}

}  // namespace

std::string LocalHTTP::apiKey() {
  // Read at every request (a small file): a key deleted, emptied or spent
  // while the servers run is replaced, and the engine restarts our servers
  // with the new one.
  static std::mutex mu;
  const std::filesystem::path file = apiKeyFile();
  std::lock_guard<std::mutex> lock(mu);
  if (std::string key = keptKey(file); !key.empty()) return key;
  Paths::ensure();
  std::string key = newKey();
  if (key.empty() || !writeFileAtomically(file, key + "\n")) return {};
  return key;
}

}  // namespace quorvel
