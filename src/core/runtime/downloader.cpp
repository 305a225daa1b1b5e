// The one-time download of a model file, resumable, never leaving a partial
// file under the model's name.
#include <curl/curl.h>
#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>

#include <quorvel/models.h>
#include <quorvel/paths.h>

#include "platform/file_util.h"
#include "platform/local_http.h"
#include "runtime/gguf.h"

namespace quorvel {

namespace {

// The path part of a catalogue URL ("/Qwen/...gguf").
std::string urlPath(const std::string& url) {
  const auto scheme = url.find("://");
  const auto slash = url.find('/', scheme == std::string::npos ? 0 : scheme + 3);
  return slash == std::string::npos ? "/" : url.substr(slash);
}

struct Transfer {
  UniqueFd fd;
  int64_t offset = 0;  // bytes of .part kept from an earlier attempt
  int64_t written = 0;
  bool started = false;
  long status = 0;
  int64_t rangeStart = -1;  // from Content-Range of the last response
  int writeErrno = 0;
  CURL* curl = nullptr;
  const std::function<void(double)>* onProgress = nullptr;
  const std::function<void()>* onWait = nullptr;
  // An exception of onProgress, kept until curl has returned: it must not
  // unwind through libcurl's C frames.
  std::exception_ptr callbackError;
};

size_t onHeader(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const std::string line(data, size * count);
  if (line.rfind("HTTP/", 0) == 0) t->rangeStart = -1;  // a new response (after a redirect)
  long long start = -1;
  if (line.size() > 14 && strncasecmp(line.c_str(), "content-range:", 14) == 0 &&
      std::sscanf(line.c_str() + 14, " bytes %lld-", &start) == 1)
    t->rangeStart = start;
  return size * count;
}

size_t onBody(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const size_t bytes = size * count;
  if (!t->started) {
    t->started = true;
    curl_easy_getinfo(t->curl, CURLINFO_RESPONSE_CODE, &t->status);
    if (t->status >= 400) return 0;  // an error page is never saved as a model
    // Part of the file from somewhere else than asked: unusable. Treated as a
    // 416, which drops the kept part and starts again from the first byte.
    if (t->status == 206 && t->rangeStart > 0 && t->rangeStart != t->offset) {
      t->status = 416;
      return 0;
    }
    if (t->offset > 0 && (t->status != 206 || t->rangeStart != t->offset)) {
      // The server ignored the range (or sent another one): start again from
      // the first byte.
      t->offset = 0;
      if (::ftruncate(t->fd.get(), 0) != 0 || ::lseek(t->fd.get(), 0, SEEK_SET) != 0) {
        t->writeErrno = errno;
        return 0;
      }
    }
  }
  if (!writeAll(t->fd.get(), std::string_view(data, bytes))) {
    t->writeErrno = errno != 0 ? errno : EIO;
    return 0;
  }
  t->written += static_cast<int64_t>(bytes);
  curl_off_t length = -1;
  curl_easy_getinfo(t->curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
  const int64_t total = length >= 0 ? t->offset + length : -1;
  if (total >= 1 && *t->onProgress) {
    try {
      (*t->onProgress)(static_cast<double>(t->offset + t->written) / static_cast<double>(total));
    } catch (...) {
      t->callbackError = std::current_exception();
      return 0;  // ends the transfer; the bytes so far stay in .part
    }
  }
  return bytes;
}

// libcurl's own progress call, made about once a second even while nothing
// arrives: a stalled or still-connecting download can be ended at once.
int onXferInfo(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  auto* t = static_cast<Transfer*>(user);
  if (t->onWait == nullptr || !*t->onWait || t->callbackError) return t->callbackError ? 1 : 0;
  try {
    (*t->onWait)();
  } catch (...) {
    t->callbackError = std::current_exception();
    return 1;
  }
  return 0;
}

// "1.2 MB", "639 MB": sizes as the catalogue gives them.
std::string megabytes(uint64_t bytes) {
  char text[32];
  if (bytes < 10000000)
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
  else
    std::snprintf(text, sizeof text, "%llu MB", static_cast<unsigned long long>((bytes + 500000) / 1000000));
  return text;
}

struct CurlFree {
  void operator()(CURL* c) const { curl_easy_cleanup(c); }
};

// A .part file opened for appending: the bytes of an earlier, interrupted
// attempt are kept and asked for no more.
Transfer openPart(const std::filesystem::path& part) {
  Transfer t;
  t.fd.reset(::open(part.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
  if (!t.fd) throw DownloadError("cannot write " + part.string() + ": " + std::strerror(errno));
  t.offset = ::lseek(t.fd.get(), 0, SEEK_END);
  if (t.offset < 0) t.offset = 0;
  return t;
}

// One request for the bytes from t.offset on, written to t.fd.
CURLcode fetchOnce(Transfer& t, const std::string& url, char* errbuf) {
  std::unique_ptr<CURL, CurlFree> curl(curl_easy_init());
  t.curl = curl.get();
  t.started = false;
  t.status = 0;
  t.written = 0;
  errbuf[0] = '\0';
  curl_easy_setopt(t.curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(t.curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(t.curl, CURLOPT_MAXREDIRS, 10L);
  curl_easy_setopt(t.curl, CURLOPT_WRITEFUNCTION, onBody);
  curl_easy_setopt(t.curl, CURLOPT_WRITEDATA, &t);
  curl_easy_setopt(t.curl, CURLOPT_HEADERFUNCTION, onHeader);
  curl_easy_setopt(t.curl, CURLOPT_HEADERDATA, &t);
  curl_easy_setopt(t.curl, CURLOPT_ERRORBUFFER, errbuf);
  curl_easy_setopt(t.curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(t.curl, CURLOPT_XFERINFOFUNCTION, onXferInfo);
  curl_easy_setopt(t.curl, CURLOPT_XFERINFODATA, &t);
  curl_easy_setopt(t.curl, CURLOPT_CONNECTTIMEOUT, 30L);
  // A stalled transfer (under 1 byte/s for a minute) is given up; a slow one is not.
  curl_easy_setopt(t.curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(t.curl, CURLOPT_LOW_SPEED_TIME, 60L);
  curl_easy_setopt(t.curl, CURLOPT_USERAGENT, "Quorvel/0.1");
  // A plain Range header rather than curl's resume, which fails outright on
  // a server that answers 200; here such a server just restarts the file.
  const std::string range = std::to_string(t.offset) + "-";
  if (t.offset > 0) curl_easy_setopt(t.curl, CURLOPT_RANGE, range.c_str());
  const CURLcode rc = curl_easy_perform(t.curl);
  t.curl = nullptr;
  if (t.callbackError) {
    // The .part keeps what arrived; a later download resumes there.
    t.fd.close();
    std::rethrow_exception(t.callbackError);
  }
  // An error reply without a body never reaches onBody.
  if (!t.started) curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &t.status);
  return rc;
}

// The whole transfer: once more from the first byte when the server says
// (416) that the kept .part does not fit its file (it changed, or the part is
// damaged). Then the .part is on disk, or why not is in t.writeErrno: a power
// cut must never leave a model file that is only a name.
CURLcode fetch(Transfer& t, const std::string& url, char* errbuf) {
  CURLcode rc = fetchOnce(t, url, errbuf);
  if (t.status == 416 && t.offset > 0 && ::ftruncate(t.fd.get(), 0) == 0 && ::lseek(t.fd.get(), 0, SEEK_SET) == 0) {
    t.offset = 0;
    rc = fetchOnce(t, url, errbuf);
  }
  const bool synced = t.status < 400 && rc == CURLE_OK && t.writeErrno == 0 ? ::fsync(t.fd.get()) == 0 : true;
  if (!synced) t.writeErrno = errno;
  if (!t.fd.close() && t.writeErrno == 0) t.writeErrno = EIO;
  return rc;
}

// Why the transfer failed, in words, or nothing. What arrived stays in the
// .part for the next try: nothing of an error body was written to it.
void throwIfFailed(const Transfer& t, CURLcode rc, const char* errbuf, const ModelSpec& spec, const std::string& url,
                   const std::filesystem::path& part) {
  if (t.status >= 400)
    throw DownloadError("download of " + spec.file + " failed: the server answered HTTP " + std::to_string(t.status) +
                        " for " + url);
  if (t.writeErrno != 0)
    throw DownloadError("download of " + spec.file + " failed: cannot write to " + part.parent_path().string() + " (" +
                        (t.writeErrno == ENOSPC ? std::string("disk full") : std::string(std::strerror(t.writeErrno))) +
                        ")");
  if (rc != CURLE_OK) {
    std::string why = errbuf[0] != '\0' ? errbuf : curl_easy_strerror(rc);
    if (rc == CURLE_COULDNT_RESOLVE_HOST || rc == CURLE_COULDNT_CONNECT) why = "host unreachable (" + why + ")";
    throw DownloadError("download of " + spec.file + " failed: " + why);
  }
}

// What arrived must be the file the catalogue describes. Anything else (an
// error page served as 200, a mirror's cut-off copy) would count as not
// installed, and be downloaded again at every press, silently; it is removed.
void checkArrived(const std::filesystem::path& part, const ModelSpec& spec, const std::string& url) {
  std::error_code ec;
  const auto arrived = std::filesystem::file_size(part, ec);
  const int64_t expected = spec.sizeMB * 1000000;
  if (ec || static_cast<int64_t>(arrived) <= expected / 2) {
    std::filesystem::remove(part, ec);
    throw DownloadError("download of " + spec.file + " failed: " + megabytes(ec ? 0 : arrived) + " arrived from " +
                        url + ", the model file is about " + megabytes(expected));
  }
  if (auto why = ggufDamage(part)) {
    std::filesystem::remove(part, ec);
    throw DownloadError("download of " + spec.file + " failed: what arrived from " + url +
                        " is not a whole model file (" + *why + ")");
  }
}

void moveIntoPlace(const std::filesystem::path& part, const std::filesystem::path& target) {
  if (::rename(part.c_str(), target.c_str()) != 0)
    throw DownloadError("cannot move " + part.string() + " into place: " + std::strerror(errno));
  UniqueFd dir(::open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir) ::fsync(dir.get());
}

}  // namespace

// Every way out leaves no partial file under the model's name: the body goes
// to the .part, which is renamed only once it is checked whole.
void ModelDownloader::download(const ModelSpec& spec) {
  Paths::ensure();
  if (ModelCatalog::isInstalled(spec)) {
    if (!ModelCatalog::damage(spec)) return;
    // Installed but damaged (cut off, overwritten): downloaded anew.
    std::error_code ec;
    std::filesystem::remove(ModelCatalog::path(spec), ec);
  }
  initCurl();

  const std::filesystem::path target = ModelCatalog::path(spec);
  const std::filesystem::path part = target.string() + ".part";
  const std::string url = baseURL() + urlPath(spec.url);

  Transfer t = openPart(part);
  t.onProgress = &onProgress;
  t.onWait = &onWait;
  char errbuf[CURL_ERROR_SIZE] = {};
  const CURLcode rc = fetch(t, url, errbuf);
  throwIfFailed(t, rc, errbuf, spec, url, part);
  checkArrived(part, spec, url);
  moveIntoPlace(part, target);
}

}  // namespace quorvel
