// The node's application side, outward: every item (a request and its
// answer, a UI event, a message sent or delivered, ...) as one JSON line in
// the simulator's vocabulary, {"t":1200,"client":"alice","kind":"event",...},
// t in ms since the node started. Other parts (a recorder, a web page) add
// sinks and see every item as it is written.
//
// Threads: emit() may be called from any thread; lines never interleave.
// Items emitted on a thread between hold() and release() on that thread are
// written at release(), after the item given there: a request's answer
// comes before what the plug-in did while answering, as in the simulator.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "item.h"

namespace node {

class Output {
 public:
  using Sink = std::function<void(const codec::Item&)>;

  Output(std::string client, std::FILE* out);
  const std::string& client() const { return client_; }

  // A new item of this node, stamped now.
  codec::Item item(const char* kind) const;
  void emit(const codec::Item& item);
  void addSink(Sink sink);

  void hold();
  void release(const codec::Item& first);

 private:
  void write(const codec::Item& item);
  const std::string client_;
  std::FILE* out_;
  const int64_t startMs_;
  std::mutex mu_;
  std::vector<Sink> sinks_;
};

}  // namespace node
