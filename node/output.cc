#include "output.h"

#include <chrono>

namespace node {

namespace {

int64_t steadyMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

struct Held {
  bool on = false;
  std::vector<codec::Item> items;
};
thread_local Held tHeld;

}  // namespace

Output::Output(std::string client, std::FILE* out)
    : client_(std::move(client)), out_(out), startMs_(steadyMs()) {}

codec::Item Output::item(const char* kind) const {
  codec::Item it;
  it.t = steadyMs() - startMs_;
  it.client = client_;
  it.kind = kind;
  return it;
}

void Output::addSink(Sink sink) {
  std::lock_guard<std::mutex> lk(mu_);
  sinks_.push_back(std::move(sink));
}

void Output::emit(const codec::Item& item) {
  if (tHeld.on) {
    tHeld.items.push_back(item);
    return;
  }
  write(item);
}

void Output::hold() { tHeld.on = true; }

void Output::release(const codec::Item& first) {
  tHeld.on = false;
  std::vector<codec::Item> later;
  later.swap(tHeld.items);
  write(first);
  for (const codec::Item& it : later) write(it);
}

void Output::write(const codec::Item& item) {
  std::vector<Sink> sinks;
  {
    std::lock_guard<std::mutex> lk(mu_);
    if (out_ != nullptr) {
      const std::string line = codec::renderJson(item) + "\n";
      std::fwrite(line.data(), 1, line.size(), out_);
      std::fflush(out_);
    }
    sinks = sinks_;
  }
  for (const Sink& sink : sinks) sink(item);
}

}  // namespace node
