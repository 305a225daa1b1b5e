#include <quorvel/models.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <mutex>

#include <quorvel/paths.h>

#include "platform/json_writer.h"
#include "runtime/gguf.h"

namespace quorvel {

namespace {

const std::string kHost = "https://huggingface.co";

ModelSpec spec(std::string id, std::string title, std::string file, std::string url, int64_t size, int64_t ram) {
  return ModelSpec{std::move(id), std::move(title), std::move(file), kHost + url, size, ram, "Apache-2.0"};
}

}  // namespace

std::string ModelSpec::toJson() const {
  JsonWriter w;
  w.beginObject()
      .key("id")
      .value(id)
      .key("title")
      .value(title)
      .key("file")
      .value(file)
      .key("url")
      .value(url)
      .key("sizeMB")
      .value(sizeMB)
      .key("minRAMGB")
      .value(minRAMGB)
      .key("license")
      .value(license)
      .endObject();
  return w.take();
}

const ModelSpec& ModelCatalog::embedding() {
  static const ModelSpec m =
      spec("qwen3-embed-0.6b", "Qwen3 Embedding 0.6B (search)", "qwen3-embedding-0.6b-q8_0.gguf",
           "/Qwen/Qwen3-Embedding-0.6B-GGUF/resolve/main/Qwen3-Embedding-0.6B-Q8_0.gguf", 639, 8);
  return m;
}

const std::vector<ModelSpec>& ModelCatalog::chat() {
  static const std::vector<ModelSpec> list{
      spec("qwen3-1.7b", "Qwen3 1.7B", "qwen3-1.7b-q4_k_m.gguf",
           "/unsloth/Qwen3-1.7B-GGUF/resolve/main/Qwen3-1.7B-Q4_K_M.gguf", 1110, 8),
      spec("qwen3-4b-2507", "Qwen3 4B Instruct 2507", "qwen3-4b-instruct-2507-q4_k_m.gguf",
           "/unsloth/Qwen3-4B-Instruct-2507-GGUF/resolve/main/Qwen3-4B-Instruct-2507-Q4_K_M.gguf", 2381, 16),
  };
  return list;
}

int64_t ModelCatalog::ramGB() {
  const long pages = sysconf(_SC_PHYS_PAGES), size = sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || size <= 0) return 0;
  return static_cast<int64_t>((static_cast<unsigned long long>(pages) * static_cast<unsigned long long>(size)) >> 30);
}

const ModelSpec& ModelCatalog::recommendedChatFor(int64_t ram) {
  const auto& list = chat();
  for (auto it = list.rbegin(); it != list.rend(); ++it)
    if (it->minRAMGB <= ram) return *it;
  return list.front();
}

std::optional<ModelSpec> ModelCatalog::installedChatFor(int64_t ram) {
  if (isInstalled(recommendedChatFor(ram))) return recommendedChatFor(ram);
  const auto& list = chat();
  for (auto it = list.rbegin(); it != list.rend(); ++it)
    if (isInstalled(*it)) return *it;
  return std::nullopt;
}

bool ModelCatalog::isInstalled(const ModelSpec& s) {
  struct stat st {};
  if (::stat(path(s).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  return static_cast<int64_t>(st.st_size) > s.sizeMB * 1000000 / 2;
}

std::optional<std::string> ModelCatalog::damage(const ModelSpec& s) {
  // Reading a model's header costs milliseconds (its vocabulary is there);
  // the app asks at every look at its state.
  struct Known {
    dev_t dev;
    ino_t ino;
    off_t size;
    timespec mtime;
    std::optional<std::string> damage;
  };
  static std::mutex mu;
  static std::map<std::string, Known> known;
  const std::string file = path(s).string();
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) return "missing";
  {
    std::lock_guard<std::mutex> lock(mu);
    if (auto it = known.find(file); it != known.end() && it->second.dev == st.st_dev && it->second.ino == st.st_ino &&
                                    it->second.size == st.st_size && it->second.mtime.tv_sec == st.st_mtim.tv_sec &&
                                    it->second.mtime.tv_nsec == st.st_mtim.tv_nsec)
      return it->second.damage;
  }
  auto why = ggufDamage(file);
  std::lock_guard<std::mutex> lock(mu);
  known[file] = Known{st.st_dev, st.st_ino, st.st_size, st.st_mtim, why};
  return why;
}

std::filesystem::path ModelCatalog::path(const ModelSpec& s) { return Paths::models() / s.file; }

std::string ModelDownloader::baseURL() {
  const char* base = std::getenv("QUORVEL_MODEL_BASE_URL");
  std::string b = (base != nullptr && *base != '\0') ? base : kHost;
  while (!b.empty() && b.back() == '/') b.pop_back();
  return b;
}

}  // namespace quorvel

std::size_t std::hash<quorvel::ModelSpec>::operator()(const quorvel::ModelSpec& m) const noexcept {
  std::size_t h = 0;
  auto mix = [&h](std::size_t v) { h ^= v + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2); };
  for (const std::string* s : {&m.id, &m.title, &m.file, &m.url}) mix(std::hash<std::string>{}(*s));
  mix(std::hash<int64_t>{}(m.sizeMB));
  mix(std::hash<int64_t>{}(m.minRAMGB));
  mix(std::hash<std::string>{}(m.license));
  return h;
}
