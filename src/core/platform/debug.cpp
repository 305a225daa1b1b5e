#include <quorvel/debug.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

namespace quorvel::debug {

namespace {

std::mutex mu;
std::shared_ptr<const Sink> current;  // guarded by mu
std::atomic<bool> on{false};

}  // namespace

void setSink(Sink sink) {
  std::lock_guard<std::mutex> lock(mu);
  on = static_cast<bool>(sink);
  current = sink ? std::make_shared<const Sink>(std::move(sink)) : nullptr;
}

bool enabled() { return on.load(std::memory_order_relaxed); }

void line(std::string_view prefix, std::string_view text) {
  if (!enabled()) return;
  std::shared_ptr<const Sink> sink;
  {
    std::lock_guard<std::mutex> lock(mu);
    sink = current;
  }
  if (!sink) return;
  std::string l(prefix);
  l.append(text);
  try {
    (*sink)(l);
  } catch (...) {
    // A diagnostic that cannot be written is not worth failing the work for.
  }
}

}  // namespace quorvel::debug
