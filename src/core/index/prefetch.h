// Documents read and cut ahead of the embedding, on a thread of their own.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <quorvel/document_reader.h>
#include <quorvel/records.h>

namespace quorvel {

// A document read and cut, with its passages' words, ready to be embedded.
struct Prepared {
  std::string name;
  std::optional<std::vector<Chunk>> chunks;  // nothing: unreadable this time
  std::vector<std::vector<uint64_t>> words;
  std::vector<std::string> notes;  // what its reading left out, or why it failed
  std::exception_ptr error;        // what preparing it threw (a progress callback, memory)
};

// Prepares the documents of a list in order on a thread of its own, at most
// sixteen ahead of the consumer and, past the first, no more than 64 MB of
// passages ahead: memory stays bounded by one document (itself bounded, see
// DocumentReader::kMaxTextBytes) plus that, whatever the documents' sizes.
// Stops early when destroyed.
class Prefetcher {
 public:
  Prefetcher(const std::vector<std::string>& names, std::function<Prepared(const std::string&)> prepare)
      : names_(names), prepare_(std::move(prepare)), thread_([this] { run(); }) {}
  ~Prefetcher() {
    {
      std::lock_guard<std::mutex> lock(mu_);
      stop_ = true;
    }
    cv_.notify_all();
    thread_.join();
  }
  // The next document; when it is not ready within a second (a slow scan),
  // `whileWaiting` is called once, without the lock, before waiting on.
  Prepared next(const std::function<void()>& whileWaiting) {
    std::unique_lock<std::mutex> lock(mu_);
    if (!cv_.wait_for(lock, std::chrono::seconds(1), [this] { return !ready_.empty(); })) {
      lock.unlock();
      whileWaiting();
      lock.lock();
      cv_.wait(lock, [this] { return !ready_.empty(); });
    }
    Prepared p = std::move(ready_.front());
    ready_.pop_front();
    readyBytes_ -= weight(p);
    cv_.notify_all();
    if (p.error) std::rethrow_exception(p.error);
    return p;
  }

 private:
  static constexpr std::size_t kAhead = 16;
  static constexpr std::size_t kBytesAhead = 64u << 20;
  // About what a prepared document holds: its passages and their words.
  static std::size_t weight(const Prepared& p) {
    std::size_t bytes = 0;
    if (p.chunks)
      for (const auto& c : *p.chunks) bytes += c.text.size() + c.section.size() + c.id.size();
    for (const auto& w : p.words) bytes += w.size() * sizeof(uint64_t);
    return bytes;
  }
  void run() {
    for (const auto& name : names_) {
      {
        std::unique_lock<std::mutex> lock(mu_);
        cv_.wait(lock, [this] {
          return stop_ || ready_.empty() || (ready_.size() < kAhead && readyBytes_ < kBytesAhead);
        });
        if (stop_) return;
      }
      Prepared p;
      try {
        p = prepare_(name);
      } catch (...) {
        p.error = std::current_exception();
      }
      std::lock_guard<std::mutex> lock(mu_);
      readyBytes_ += weight(p);
      ready_.push_back(std::move(p));
      cv_.notify_all();
    }
  }
  const std::vector<std::string>& names_;
  std::function<Prepared(const std::string&)> prepare_;
  std::mutex mu_;
  std::condition_variable cv_;
  std::deque<Prepared> ready_;
  std::size_t readyBytes_ = 0;  // the weight() of what is in ready_
  bool stop_ = false;
  std::thread thread_;  // last: started once everything above exists
};

}  // namespace quorvel
