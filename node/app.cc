#include "app.h"

#include <chrono>

#include "base/ui_event_types.h"
#include "request_reader.h"
#include "sdk_cmd.h"
#include "signalling/msg_types.h"

namespace node {

namespace {

int64_t steadyMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

Application::Application(NodeHost& host, XmppLink& link, Output& out, int64_t keepAliveMs)
    : host_(host), link_(link), out_(out), keepAliveMs_(keepAliveMs) {
  out_.addSink([this](const codec::Item& item) { watch(item); });
  if (keepAliveMs_ > 0) keepAlive_ = std::thread([this] { keepAliveLoop(); });
}

Application::~Application() {
  {
    std::lock_guard<std::mutex> lk(mu_);
    stopping_ = true;
  }
  cv_.notify_all();
  if (keepAlive_.joinable()) keepAlive_.join();
}

void Application::run(std::istream& in) {
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    if (!handle(line, ++number)) return;
  }
}

bool Application::handle(const std::string& line, int number) {
  if (line.find_first_not_of(" \t\r") == std::string::npos) return true;
  const std::string where = "line " + std::to_string(number);
  try {
    codec::Reader r("input");
    json::Document doc;
    if (!imsdkmrtc::parseText(doc, line)) r.fail(where, "not valid JSON");
    r.object(doc, where);
    if (r.member(doc, "quit") != nullptr) return false;
    if (const codec::JValue* hold = r.member(doc, "hold")) {
      link_.hold(r.seconds(*hold, where, "hold"));
    } else if (const codec::JValue* inject = r.member(doc, "inject")) {
      const std::string at = where + ": inject";
      r.object(*inject, at);
      r.onlyKeys(*inject, at, {"to", "body", "bodyType", "properties", "limitRange"});
      const int64_t type = r.intOr(*inject, "bodyType", imsdkmrtc::kMsgTypeAll, at);
      if (type < 0 || type > 255) r.fail(at, "\"bodyType\" must be 0..255");
      host_.inject(r.integer(r.required(*inject, "to", at), at, "to"), static_cast<uint16_t>(type),
                   r.text(r.required(*inject, "body", at), at, "body"),
                   r.textOr(*inject, "properties", at), r.idsOr(*inject, "limitRange", at));
    } else if (const codec::JValue* extra = r.member(doc, "extra")) {
      host_.extra(codec::readExtra(r, *extra, where + ": extra"));
    } else if (r.member(doc, "keepalive") != nullptr) {
      host_.keepAlive(false);
    } else if (const codec::JValue* request = r.member(doc, "request")) {
      std::set<std::string> keys = codec::requestFieldKeys();
      keys.insert({"request", "client", "note"});
      r.onlyKeys(doc, where, keys);
      codec::RequestFields q;
      q.cmd = codec::requestCode(r, *request, where);
      codec::readRequestFields(r, doc, where, q);
      if (q.cmd == imsdk::kCmdExtra)
        r.fail(where, "give request " + std::to_string(imsdk::kCmdExtra) + " as {\"extra\":{...}}");
      if (q.cmd == imsdk::kCmdKeepAlive) {
        host_.keepAlive(false);
      } else {
        host_.request(q);
      }
    } else {
      r.fail(where, "give one of request, extra, keepalive, inject, hold or quit");
    }
  } catch (const codec::ReadError& e) {
    out_.emit(out_.item("error").set("text", std::string(e.what())));
  }
  return true;
}

void Application::watch(const codec::Item& item) {
  bool inTalk;
  {
    std::lock_guard<std::mutex> lk(mu_);
    inTalk = inTalk_;
  }
  const int64_t type = item.num("type");
  const int64_t cmd = item.num("cmd");
  const bool answeredOk = item.find("result") != nullptr && item.num("result") == 0;
  if (item.kind == codec::kind::kEvent) {
    if (type == imsdkmrtc::kEventCall || type == imsdkmrtc::kEventTalkState) inTalk = true;
    if (type == imsdkmrtc::kEventFinished) inTalk = false;
  } else if (item.kind == codec::kind::kRequest) {
    if (answeredOk && (cmd == imsdk::kCmdCall || cmd == imsdk::kCmdIntoRoom ||
                       cmd == imsdk::kCmdJoin || cmd == imsdk::kCmdTempletJoin)) {
      inTalk = true;
    }
    if (cmd == imsdk::kCmdHungup) inTalk = false;
  }
  std::lock_guard<std::mutex> lk(mu_);
  if (inTalk && !inTalk_) due_ = steadyMs() + keepAliveMs_;
  inTalk_ = inTalk;
}

void Application::keepAliveLoop() {
  std::unique_lock<std::mutex> lk(mu_);
  while (!stopping_) {
    cv_.wait_for(lk, std::chrono::milliseconds(100));
    const int64_t now = steadyMs();
    if (stopping_ || !inTalk_ || now < due_) continue;
    const bool missedOne = now >= due_ + keepAliveMs_;
    due_ = now + keepAliveMs_;
    // Late by a whole period or more: the process stood still (stopped, or
    // starved). Like an application coming back from the background, it
    // lets the plug-in's own time-outs judge the talk first.
    if (missedOne) continue;
    lk.unlock();
    host_.keepAlive(true);
    lk.lock();
  }
}

}  // namespace node
