// What a client's application and host do to its plug-in: attach, the
// life-cycle events and the application's requests. Each call runs the
// plug-in on the calling thread, with no simulator lock held.
#include "host_records.h"
#include "simhost.h"

namespace simhost {

void Client::attach(imsdk::IPlugin* plugin) {
  // The host is set before the network may deliver to the plug-in.
  if (plugin != nullptr) plugin->setHost(this);
  std::lock_guard<std::mutex> lk(net_->mu_);
  plugin_ = plugin;
}

void Client::preLogin(const std::string& logo) {
  imsdk::IPlugin* plugin = attached();
  if (plugin == nullptr) return;
  imsdk::postServerText text;
  text.text = logo;
  plugin->onpostServer(imsdk::kEventPreLogin, &text);
}

void Client::login() {
  imsdk::IPlugin* plugin = attached();
  if (plugin != nullptr) plugin->onpostServer(imsdk::kEventLogin, nullptr);
}

std::vector<imsdk::hostMessage> Client::pull(std::vector<imsdk::hostMessage> messages) {
  imsdk::IPlugin* plugin = attached();
  if (plugin == nullptr) return messages;
  imsdk::postServerPulled pulled;
  pulled.messages = std::move(messages);
  plugin->onpostServer(imsdk::kEventPulled, &pulled);
  return std::move(pulled.messages);
}

bool Client::registerAddress() {
  constexpr uint16_t kOtherRegisterAddress = 2;
  imsdk::IPlugin* plugin = attached();
  return plugin != nullptr && plugin->onOther(kOtherRegisterAddress, 0, 0);
}

int64_t Client::request(uint16_t cmdId, const imsdk::req_mrtc_request& fields) {
  imsdk::IPlugin* plugin = attached();
  if (plugin == nullptr) return 0;
  const int64_t id = net_->nextRequestId();
  imsdk::_sdkcmd_base* record = plugin->createCmd(cmdId, true);
  if (auto* request = dynamic_cast<imsdk::req_mrtc_request*>(record)) {
    *request = fields;
    request->id = id;
  }
  imsdk::cmdEnvelope env{record, imsdk::kEnvelopeWordResult};
  plugin->onRequest(cmdId, reinterpret_cast<uintptr_t>(&env), &env);
  // The loop-backs ran the request to its end before onRequest returned.
  if (record != nullptr) plugin->releaseCmd(cmdId, record, 0);
  return id;
}

int64_t Client::extra(int8_t type, const std::string& cmd, const std::string& extend) {
  imsdk::IPlugin* plugin = attached();
  if (plugin == nullptr) return 0;
  const int64_t id = net_->nextRequestId();
  imsdk::_sdkcmd_base* record = plugin->createCmd(imsdk::kCmdExtra, true);
  if (auto* request = dynamic_cast<imsdk::req_mrtc_extra*>(record)) {
    request->id = id;
    request->type = type;
    request->cmd = cmd;
    request->extend = extend;
  }
  imsdk::cmdEnvelope env{record, imsdk::kEnvelopeWordResult};
  plugin->onRequest(imsdk::kCmdExtra, reinterpret_cast<uintptr_t>(&env), &env);
  if (record != nullptr) plugin->releaseCmd(imsdk::kCmdExtra, record, 0);
  return id;
}

void Client::keepAlive() {
  imsdk::IPlugin* plugin = attached();
  if (plugin == nullptr) return;
  imsdk::cmdEnvelope env{nullptr, imsdk::kEnvelopeWordResult};
  plugin->onRequest(imsdk::kCmdKeepAlive, reinterpret_cast<uintptr_t>(&env), &env);
}

}  // namespace simhost
