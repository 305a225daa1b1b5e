// Engine start with both servers already up, `quorvel-cli stop`, and the
// cost of the streamed-reply reader over the raw bytes.
#include <cstdio>
#include <cstdlib>
#include <string>

#include <quorvel/chat.h>
#include <quorvel/engine.h>

#include "bench_util.h"
#include "test_support.h"

using namespace quorvel;
using quorvel::bench::median;

int main() {
  // Stream reader: 1,000 pieces as llama-server sends them.
  std::string body = "data: {\"choices\":[{\"index\":0,\"delta\":{\"role\":\"assistant\",\"content\":null}}]}\n\n";
  for (int i = 0; i < 1000; ++i)
    body += "data: {\"choices\":[{\"index\":0,\"delta\":{\"content\":\" word" + std::to_string(i) +
            "\"},\"finish_reason\":null}],\"created\":1765000000,\"id\":\"chatcmpl-x\",\"model\":\"m\","
            "\"object\":\"chat.completion.chunk\"}\n\n";
  body +=
      "data: {\"choices\":[{\"delta\":{},\"finish_reason\":\"stop\"}],\"timings\":{\"predicted_n\":1000,"
      "\"predicted_per_second\":30.1}}\n\ndata: [DONE]\n\n";
  volatile std::size_t sink = 0;
  const double raw = median(
      [&] {
        std::string copy;
        for (std::size_t i = 0; i < body.size(); i += 512) copy.append(body, i, 512);  // bytes as they arrive
        sink = sink + copy.size();
      },
      51);
  const double parsed = median(
      [&] {
        Chat::Stream s([&](const std::string& p) { sink = sink + p.size(); });
        for (std::size_t i = 0; i < body.size(); i += 512) s.feed(std::string_view(body).substr(i, 512));
        s.finish();
      },
      51);
  std::printf("stream reader, 1,000 pieces: %.3f ms over reading the raw bytes (%.3f ms vs %.3f ms)\n",
              (parsed - raw) * 1e3, parsed * 1e3, raw * 1e3);

  // Engine against the stand-in in a throw-away home.
  test::TempHome home;
  test::prepareStandInHome(home.path());
  test::stopModelServers();
  Engine::shared().start();
  if (Engine::shared().state() != Engine::State::ready()) {
    std::printf("engine did not start: %s\n", Engine::shared().state().message.c_str());
    return 1;
  }
  const double start = median(
      [] {
        Engine e;
        e.start();
      },
      21);
  std::printf("Engine::start() with both servers up: %.1f ms (median of 21)\n", start * 1e3);
  const double stop = bench::seconds([] { test::run(QUORVEL_CLI, {"stop"}); });
  std::printf("quorvel-cli stop: %.1f ms\n", stop * 1e3);
  test::stopModelServers();
}
