// The node's application side, inward: one JSON request per line on standard
// input, in the words of the simulator's scenario steps:
//
//   {"request":"call","kind":1,"groupId":30001,"roomId":"r1","members":[20002]}
//   {"request":"hungup","roomId":"r1","groupId":30001}
//   {"extra":{"type":5,"cmd":"...","extend":"..."}}
//   {"keepalive":true}
//
// {"inject":{"to":30001,"bodyType":15,"body":{...},"limitRange":[20002]}} puts
// a message on the network as this device without the plug-in, as a client
// of another make would send it (the scenario step of that name, sent by
// this node's user and device), and two lines of the node's own:
// {"hold":2.5} holds the messages that
// arrive in the next 2.5 s back and then hands them over in order (to make
// two calls cross for certain), {"quit":true} ends the node. A line that
// cannot be read is answered with an "error" item and changes nothing.
//
// Like the simulator's applications, it sends a keep-alive (24008) every
// keepAliveMs while it believes it is in a talk: from a successful call,
// answer or join, or an incoming call (events 1 and 10), until it hangs up
// or the talk finishes (event 5).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <istream>
#include <mutex>
#include <string>
#include <thread>

#include "host.h"
#include "link.h"
#include "output.h"

namespace node {

class Application {
 public:
  Application(NodeHost& host, XmppLink& link, Output& out, int64_t keepAliveMs);
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // Reads lines until the input ends or a quit line.
  void run(std::istream& in);
  // One line; false for a quit line.
  bool handle(const std::string& line, int number);

 private:
  void watch(const codec::Item& item);
  void keepAliveLoop();

  NodeHost& host_;
  XmppLink& link_;
  Output& out_;
  const int64_t keepAliveMs_;
  std::mutex mu_;
  std::condition_variable cv_;
  bool inTalk_ = false;
  bool stopping_ = false;
  int64_t due_ = 0;
  std::thread keepAlive_;
};

}  // namespace node
