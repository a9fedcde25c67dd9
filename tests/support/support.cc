#include "support/support.h"

#include "timer/plugin_other.h"

namespace testsupport {

std::string join(const std::vector<int64_t>& ids, const char* sep) {
  std::string out;
  for (int64_t id : ids) out += (out.empty() ? "" : sep) + std::to_string(id);
  return out;
}

std::string render(const simhost::UiEvent& e) {
  return std::to_string(e.eventType) + "|" + e.annotation + "|" + std::to_string(e.senderId) + "|" +
         join(e.selects) + "|" + std::to_string(e.groupId) + "|" + std::to_string(e.onwerId) + "|" +
         e.roomId + "|" + e.roomName + "|" + join(e.members) + "|" + e.extend;
}

std::string render(const simhost::TimerPost& t) {
  const imsdk::timerCmd& c = t.cmd;
  return std::to_string(c.op) + "/" + std::to_string(c.category) + "/" + std::to_string(c.type) +
         "/" + c.key + "/" + join(c.members) + "/" + std::to_string(c.duration) +
         (c.refresh != 0 ? "/refresh" : "") +
         (c.recallCnt != 0 ? "/n" + std::to_string(c.recallCnt) : "");
}

std::string render(const simhost::NetMessage& m) {
  return std::to_string(m.msgType) + ">" + std::to_string(m.targetId) +
         (m.limitRange.empty() ? "" : "[" + join(m.limitRange) + "]") + ":" + m.body;
}

std::string render(const imsdkmrtc::timeoutRecord& r) {
  return std::to_string(r.category) + "/" + std::to_string(r.type) + "/" + r.key + "/" +
         idText(r.members) + "/" + std::to_string(r.duration);
}

Site::~Site() {
  for (auto& plugin : plugins_) plugin->other()->stop();
  // Sleeping timer threads wake, see the stop flag and end.
  commlib::advance(10000);
  commlib::useRealTime();
}

simhost::Client& Site::add(const std::string& name, int64_t userId, uint8_t deviceType,
                           int pluginDevice) {
  simhost::Client& client = net.addClient(name, userId, deviceType);
  plugins_.push_back(std::make_unique<imsdkmrtc::mrtc_plugin>(
      static_cast<uint8_t>(pluginDevice < 0 ? deviceType : pluginDevice)));
  client.attach(plugins_.back().get());
  return client;
}

void Site::advance(int64_t ms) {
  net.pump();
  commlib::advance(ms, [this] { net.pump(); });
  net.pump();
}

}  // namespace testsupport
