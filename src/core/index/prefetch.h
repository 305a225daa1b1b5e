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
// sixteen ahead of the consumer (memory stays bounded). Stops early when
// destroyed.
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
    cv_.notify_all();
    if (p.error) std::rethrow_exception(p.error);
    return p;
  }

 private:
  static constexpr std::size_t kAhead = 16;
  void run() {
    for (const auto& name : names_) {
      {
        std::unique_lock<std::mutex> lock(mu_);
        cv_.wait(lock, [this] { return stop_ || ready_.size() < kAhead; });
        if (stop_) return;
      }
      Prepared p;
      try {
        p = prepare_(name);
      } catch (...) {
        p.error = std::current_exception();
      }
      std::lock_guard<std::mutex> lock(mu_);
      ready_.push_back(std::move(p));
      cv_.notify_all();
    }
  }
  const std::vector<std::string>& names_;
  std::function<Prepared(const std::string&)> prepare_;
  std::mutex mu_;
  std::condition_variable cv_;
  std::deque<Prepared> ready_;
  bool stop_ = false;
  std::thread thread_;  // last: started once everything above exists
};

}  // namespace quorvel
