// The model catalogue and the downloader against a local HTTP server.
#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <quorvel/engine.h>
#include <quorvel/models.h>
#include <quorvel/paths.h>

#include "test_support.h"

namespace quorvel {
namespace {

using test::ScopedEnv;
using test::TempHome;

void sizedFile(const fs::path& p, std::uintmax_t size) {
  test::writeText(p, "");
  fs::resize_file(p, size);
}

// The catalogue's entries are the published files a download fetches and
// checks against: a wrong URL or size fails only on a customer's computer.
TEST(Catalogue, ExactEntries) {
  const ModelSpec& e = ModelCatalog::embedding();
  EXPECT_EQ(
      e.toJson(),
      R"J({"id":"qwen3-embed-0.6b","title":"Qwen3 Embedding 0.6B (search)","file":"qwen3-embedding-0.6b-q8_0.gguf",)J"
      R"("url":"https://huggingface.co/Qwen/Qwen3-Embedding-0.6B-GGUF/resolve/main/Qwen3-Embedding-0.6B-Q8_0.gguf",)"
      R"("sizeMB":639,"minRAMGB":8,"license":"Apache-2.0"})");
  ASSERT_EQ(ModelCatalog::chat().size(), 2u);
  const ModelSpec& small = ModelCatalog::chat()[0];
  const ModelSpec& large = ModelCatalog::chat()[1];
  EXPECT_EQ(small.toJson(),
            R"({"id":"qwen3-1.7b","title":"Qwen3 1.7B","file":"qwen3-1.7b-q4_k_m.gguf",)"
            R"("url":"https://huggingface.co/unsloth/Qwen3-1.7B-GGUF/resolve/main/Qwen3-1.7B-Q4_K_M.gguf",)"
            R"("sizeMB":1110,"minRAMGB":8,"license":"Apache-2.0"})");
  EXPECT_EQ(
      large.toJson(),
      R"({"id":"qwen3-4b-2507","title":"Qwen3 4B Instruct 2507","file":"qwen3-4b-instruct-2507-q4_k_m.gguf",)"
      R"("url":"https://huggingface.co/unsloth/Qwen3-4B-Instruct-2507-GGUF/resolve/main/Qwen3-4B-Instruct-2507-Q4_K_M.gguf",)"
      R"("sizeMB":2381,"minRAMGB":16,"license":"Apache-2.0"})");
  EXPECT_NE(small, large);
  EXPECT_NE(std::hash<ModelSpec>{}(small), std::hash<ModelSpec>{}(large));
  EXPECT_GT(ModelCatalog::ramGB(), 0);
}

TEST(Catalogue, ReplyModelByMemory) {
  EXPECT_EQ(ModelCatalog::recommendedChatFor(15).id, "qwen3-1.7b");
  EXPECT_EQ(ModelCatalog::recommendedChatFor(16).id, "qwen3-4b-2507");
  EXPECT_EQ(ModelCatalog::recommendedChatFor(4).id, "qwen3-1.7b");
  EXPECT_EQ(ModelCatalog::recommendedChatFor(64).id, "qwen3-4b-2507");
}

TEST(Catalogue, InstalledMeansMoreThanHalfTheSize) {
  TempHome home;
  Paths::ensure();
  const ModelSpec& small = ModelCatalog::chat()[0];
  EXPECT_EQ(ModelCatalog::path(small), home.path() / "models" / "qwen3-1.7b-q4_k_m.gguf");
  EXPECT_FALSE(ModelCatalog::isInstalled(small));  // missing
  sizedFile(ModelCatalog::path(small), 0);
  EXPECT_FALSE(ModelCatalog::isInstalled(small));
  sizedFile(ModelCatalog::path(small), 555000000);
  EXPECT_FALSE(ModelCatalog::isInstalled(small));
  sizedFile(ModelCatalog::path(small), 555000001);
  EXPECT_TRUE(ModelCatalog::isInstalled(small));
  fs::remove(ModelCatalog::path(small));
  fs::create_directories(ModelCatalog::path(small));
  EXPECT_FALSE(ModelCatalog::isInstalled(small));
}

// A GGUF file: header, metadata (one string, one array of strings, the
// alignment), then one F32 tensor of `elements` and `dataBytes` of data.
std::string gguf(uint64_t elements, std::size_t dataBytes) {
  std::string out("GGUF", 4);
  auto u32 = [&](uint32_t v) { out.append(reinterpret_cast<const char*>(&v), 4); };
  auto u64 = [&](uint64_t v) { out.append(reinterpret_cast<const char*>(&v), 8); };
  auto str = [&](const std::string& v) {
    u64(v.size());
    out += v;
  };
  u32(3);
  u64(1);  // tensors
  u64(3);  // metadata entries
  str("general.name");
  u32(8);
  str("tiny");
  str("tokenizer.ggml.tokens");
  u32(9);
  u32(8);
  u64(2);
  str("hello");
  str("world");
  str("general.alignment");
  u32(4);
  u32(32);
  str("output.weight");
  u32(2);
  u64(elements / 4);
  u64(4);
  u32(0);  // F32
  u64(0);
  out.resize((out.size() + 31) / 32 * 32, '\0');
  out.append(dataBytes, '\x01');
  return out;
}

TEST(Catalogue, AModelFilesStructureIsChecked) {
  TempHome home;
  Paths::ensure();
  const ModelSpec& small = ModelCatalog::chat()[0];
  const fs::path file = ModelCatalog::path(small);
  auto damage = [&](const std::string& bytes) {
    test::writeText(file, bytes);
    return ModelCatalog::damage(small).value_or("whole");
  };
  EXPECT_EQ(damage(gguf(1000, 4000)), "whole");
  EXPECT_EQ(damage(gguf(1000, 4000) + std::string(100, '\0')), "whole");  // bytes after the last tensor
  EXPECT_EQ(damage(test::emptyGguf()), "whole");
  EXPECT_EQ(damage(gguf(1000, 3999)).rfind("cut off: its tensors need ", 0), 0u);
  EXPECT_EQ(damage(gguf(1000, 4000).substr(0, 60)), "cut off in its header");
  EXPECT_EQ(damage(std::string(4096, 'x')), "not a GGUF model file");
  EXPECT_EQ(damage(std::string("GGUF\x09\0\0\0", 8) + std::string(16, '\0')), "a GGUF file of unknown version 9");
  std::string huge = gguf(1000, 4000);
  huge[8] = '\xFF', huge[15] = '\x7F';  // the tensor count
  EXPECT_EQ(damage(huge), "its header counts impossibly many entries");
  fs::remove(file);
  EXPECT_EQ(ModelCatalog::damage(small), "missing");

  // The real tiny models, whole, extended as the tests do, and cut off.
  const char* real = std::getenv("QUORVEL_TEST_CHAT_MODEL");
  if (real == nullptr) return;
  fs::copy_file(real, file);
  EXPECT_EQ(ModelCatalog::damage(small), std::nullopt);
  fs::resize_file(file, static_cast<std::uintmax_t>(small.sizeMB) * 1000000);
  EXPECT_EQ(ModelCatalog::damage(small), std::nullopt);
  fs::resize_file(file, fs::file_size(real) * 6 / 10);
  EXPECT_EQ(ModelCatalog::damage(small).value_or("").rfind("cut off", 0), 0u);
}

TEST(Catalogue, InstalledChatPrefersTheRecommendedModel) {
  TempHome home;
  Paths::ensure();
  EXPECT_FALSE(ModelCatalog::installedChatFor(8).has_value());
  EXPECT_EQ(Engine::chatModelTitle(), "\u2014");
  const ModelSpec& small = ModelCatalog::chat()[0];
  const ModelSpec& large = ModelCatalog::chat()[1];
  sizedFile(ModelCatalog::path(large), 2381000000);
  EXPECT_EQ(ModelCatalog::installedChatFor(8)->id, "qwen3-4b-2507");  // every chat model is a candidate
  EXPECT_EQ(Engine::chatModelTitle(), "Qwen3 4B Instruct 2507");
  sizedFile(ModelCatalog::path(small), 1110000000);
  EXPECT_EQ(ModelCatalog::installedChatFor(8)->id, "qwen3-1.7b");
  EXPECT_EQ(ModelCatalog::installedChatFor(16)->id, "qwen3-4b-2507");
  fs::remove(ModelCatalog::path(large));
  EXPECT_EQ(ModelCatalog::installedChatFor(16)->id, "qwen3-1.7b");
}

class DownloaderTest : public ::testing::Test {
 protected:
  TempHome home;
  test::LocalServer files;
  std::unique_ptr<ScopedEnv> base;
  void SetUp() override {
    files.start();
    base = std::make_unique<ScopedEnv>("QUORVEL_MODEL_BASE_URL", files.base());
  }
  // 1 MB in the catalogue's terms: installed above 500,000 bytes.
  ModelSpec spec{"tiny", "Tiny", "tiny.gguf", "https://huggingface.co/org/tiny/resolve/main/tiny.gguf", 1, 8, "MIT"};
  std::string body = test::emptyGguf() + std::string(600000, 'm') + "end";  // a whole GGUF file
  std::vector<double> progress;

  void download() {
    ModelDownloader d;
    d.onProgress = [this](double f) { progress.push_back(f); };
    d.download(spec);
  }
  std::string installed() { return test::readText(ModelCatalog::path(spec)); }
};

TEST_F(DownloaderTest, WithLengthReportsRisingProgressToOne) {
  int requests = 0;
  files.server().Get("/org/tiny/resolve/main/tiny.gguf", [&](const httplib::Request&, httplib::Response& res) {
    ++requests;
    res.set_content(body, "application/octet-stream");
  });
  download();
  EXPECT_TRUE(installed() == body);
  ASSERT_FALSE(progress.empty());
  EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
  EXPECT_DOUBLE_EQ(progress.back(), 1.0);
  EXPECT_FALSE(fs::exists(ModelCatalog::path(spec).string() + ".part"));
  EXPECT_EQ(test::permissions(ModelCatalog::path(spec)), 0600u);

  // Installed: no request, no progress.
  progress.clear();
  download();
  EXPECT_EQ(requests, 1);
  EXPECT_TRUE(progress.empty());
}

TEST_F(DownloaderTest, AThrowingProgressCallbackStopsTheTransferAndKeepsThePart) {
  files.server().Get("/org/tiny/resolve/main/tiny.gguf", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content(body, "application/octet-stream");
  });
  struct Cancelled {};
  ModelDownloader d;
  int calls = 0;
  d.onProgress = [&](double) {
    if (++calls == 1) throw Cancelled{};
  };
  EXPECT_THROW(d.download(spec), Cancelled);
  EXPECT_EQ(calls, 1);  // no further piece was taken once it threw
  EXPECT_FALSE(fs::exists(ModelCatalog::path(spec)));
  EXPECT_TRUE(fs::exists(ModelCatalog::path(spec).string() + ".part"));
  // The next download finishes the job.
  download();
  EXPECT_TRUE(installed() == body);
}

// A server that sends a first piece and then nothing: the download is still
// asked, about once a second, whether to go on, and ends when told to.
TEST_F(DownloaderTest, AStalledTransferEndsWhenTheWaitCallbackThrows) {
  std::atomic<bool> quit{false};
  files.server().Get("/org/tiny/resolve/main/tiny.gguf", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content_provider(body.size(), "application/octet-stream",
                             [&](size_t offset, size_t, httplib::DataSink& sink) {
                               if (offset == 0) sink.write(body.data(), 1000);
                               while (!quit && sink.is_writable())
                                 std::this_thread::sleep_for(std::chrono::milliseconds(20));
                               return false;
                             });
  });
  struct Cancelled {};
  ModelDownloader d;
  std::atomic<bool> arrived{false};
  d.onProgress = [&](double) { arrived = true; };
  int waits = 0;
  d.onWait = [&] {
    ++waits;
    if (arrived) throw Cancelled{};
  };
  EXPECT_THROW(d.download(spec), Cancelled);  // long before the minute a stalled transfer is given
  quit = true;
  EXPECT_GE(waits, 1);
  EXPECT_FALSE(fs::exists(ModelCatalog::path(spec)));
  EXPECT_EQ(fs::file_size(ModelCatalog::path(spec).string() + ".part"), 1000u);
}

TEST_F(DownloaderTest, WithoutLengthReportsNoProgress) {
  files.server().Get("/org/tiny/resolve/main/tiny.gguf",
                     [&](const httplib::Request&, httplib::Response& res) { test::serveChunked(res, body); });
  download();
  EXPECT_TRUE(installed() == body);
  EXPECT_TRUE(progress.empty());
}

TEST_F(DownloaderTest, ErrorStatusIsAnErrorAndNothingIsReplaced) {
  Paths::ensure();
  test::writeText(ModelCatalog::path(spec), "old but small copy");
  files.server().Get("/org/tiny/resolve/main/tiny.gguf", [&](const httplib::Request&, httplib::Response& res) {
    res.status = 404;
    res.set_content("Entry not found", "text/plain");
  });
  try {
    download();
    FAIL() << "no error";
  } catch (const DownloadError& e) {
    EXPECT_NE(std::string(e.what()).find("HTTP 404"), std::string::npos) << e.what();
  }
  EXPECT_EQ(installed(), "old but small copy");
}

// A mirror that serves something else than the model (far too small, or not
// a model file at all) fails the download with what arrived and what was
// expected; nothing of it stays, so the next attempt starts clean.
TEST_F(DownloaderTest, WhatIsNotTheModelIsAnErrorAndRemoved) {
  std::string served = std::string(1200, 'x');
  files.server().Get("/org/tiny/resolve/main/tiny.gguf", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content(served, "application/octet-stream");
  });
  auto failure = [this]() -> std::string {
    try {
      download();
    } catch (const DownloadError& e) {
      return e.what();
    }
    return "no error";
  };
  EXPECT_EQ(failure(), "download of tiny.gguf failed: 0.0 MB arrived from " + files.base() +
                           "/org/tiny/resolve/main/tiny.gguf, the model file is about 1.0 MB");
  EXPECT_FALSE(fs::exists(ModelCatalog::path(spec)));
  EXPECT_FALSE(fs::exists(ModelCatalog::path(spec).string() + ".part"));

  served = std::string(700000, 'x');  // the size is right, the contents are not
  const std::string why = failure();
  EXPECT_NE(why.find("is not a whole model file (not a GGUF"), std::string::npos) << why;
  EXPECT_FALSE(fs::exists(ModelCatalog::path(spec)));
  EXPECT_FALSE(fs::exists(ModelCatalog::path(spec).string() + ".part"));
}

TEST_F(DownloaderTest, UnreachableHostSaysSo) {
  ScopedEnv nowhere("QUORVEL_MODEL_BASE_URL", "http://127.0.0.1:1");
  try {
    download();
    FAIL() << "no error";
  } catch (const DownloadError& e) {
    EXPECT_NE(std::string(e.what()).find("host unreachable"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(fs::exists(ModelCatalog::path(spec)));
}

TEST_F(DownloaderTest, CutTransferIsResumedWhereItStopped) {
  int requests = 0;
  std::string range;
  files.server().Get("/org/tiny/resolve/main/tiny.gguf", [&](const httplib::Request& req, httplib::Response& res) {
    if (++requests == 1) {
      // Announce the whole length, send half, then drop the connection.
      res.set_content_provider(body.size(), "application/octet-stream",
                               [&](size_t offset, size_t, httplib::DataSink& sink) {
                                 if (offset >= body.size() / 2) return false;
                                 sink.write(body.data() + offset, body.size() / 2 - offset);
                                 return true;
                               });
      return;
    }
    range = req.get_header_value("Range");
    res.set_content(body, "application/octet-stream");  // the server honours the range
  });
  EXPECT_THROW(download(), DownloadError);
  EXPECT_FALSE(fs::exists(ModelCatalog::path(spec)));
  const auto part = ModelCatalog::path(spec).string() + ".part";
  ASSERT_TRUE(fs::exists(part));
  const auto kept = fs::file_size(part);
  EXPECT_GT(kept, 0u);

  progress.clear();
  download();
  EXPECT_EQ(range, "bytes=" + std::to_string(kept) + "-");
  EXPECT_TRUE(installed() == body);
  ASSERT_FALSE(progress.empty());
  EXPECT_GT(progress.front(), 0.4);  // counted from the bytes already kept
  EXPECT_DOUBLE_EQ(progress.back(), 1.0);
}

TEST_F(DownloaderTest, ServerIgnoringTheRangeStartsAfresh) {
  Paths::ensure();
  test::writeText(ModelCatalog::path(spec).string() + ".part", "garbage from an earlier try");
  files.server().Get("/org/tiny/resolve/main/tiny.gguf", [&](const httplib::Request&, httplib::Response& res) {
    test::serveChunked(res, body);  // always 200 from the first byte, whatever range was asked for
  });
  download();
  EXPECT_TRUE(installed() == body) << installed().size() << " " << installed().substr(0, 40);
}

}  // namespace
}  // namespace quorvel
