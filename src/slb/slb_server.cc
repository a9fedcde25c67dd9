#include "slb/slb_server.h"

#include "base/json.h"
#include "base/log.h"
#include "base/plugin_env.h"
#include "base/text_readers.h"
#include "slb/slb_texts.h"
#include "tools.h"

namespace imsdkmrtc {

namespace {

using namespace texts::slb;
constexpr const char* kFunc = kFnGetMultiServer;

}  // namespace

bool slbServer::parseApHostNetId(const std::string& desc, std::string& ap, std::string& netId) {
  netId = getJsonNumber(desc, kKeyNetId);
  std::string a = getJsonString(desc, kKeyApHost);
  if (a.empty()) {
    MRTC_LOG(plugin_, 2, kFnParseApHost, kLogApNull, desc.c_str());
    return false;
  }
  size_t pos = a.find("\\/\\/");
  if (pos != std::string::npos) a = a.substr(pos + 4);
  pos = a.find("//");
  if (pos != std::string::npos) a = a.substr(pos + 2);
  pos = a.find(':');
  if (pos != std::string::npos) a = a.substr(0, pos);
  ap = a;
  return true;
}

std::string slbServer::jsonStringMember(const std::string& text, const std::string& key) {
  if (text.empty() || text[0] != '{') return std::string();
  jsonDocument doc;
  if (!parseText(doc, text) || !doc.IsObject()) return std::string();
  const json::Value* value = findString(doc, key.c_str());
  return value != nullptr ? toString(*value) : std::string();
}

std::string slbServer::getMultiServer() {
  imsdk::IHostService* host = plugin_->host();
  if (host == nullptr) return std::string();
  std::string desc = host->getPreLoginDesc();
  std::string ap;
  std::string netId;
  parseApHostNetId(desc, ap, netId);
  MRTC_LOG(plugin_, 0, kFunc, kLogPreInfo, desc.c_str(), ap.c_str(), netId.c_str());
  std::string m;
  for (const char* key : kPerNetworkKeys) {
    m = host->getConfigItem(std::string(key) + netId, kConfigValue);
    if (!m.empty()) break;
  }
  MRTC_LOG(plugin_, 0, kFunc, kLogChannel, m.c_str());
  if (!m.empty()) {
    std::string a = jsonStringMember(m, kKeyMediaServerAddr);
    std::string result = a.empty() ? m : a;
    MRTC_LOG(plugin_, 0, kFunc, kLogMulti, result.c_str());
    return result;
  }
  std::string s = host->getConfigItem(kKeyMediaServerAddr, kConfigExtend);
  MRTC_LOG(plugin_, 0, kFunc, kLogSingle, s.c_str());
  if (s.empty()) {
    std::string result = ap + kDefaultPort;
    MRTC_LOG(plugin_, 0, kFunc, kLogBlank, result.c_str());
    return result;
  }
  if (s[0] == '{') {
    std::string a = jsonStringMember(s, kKeyMediaServerAddr);
    if (a.empty()) {
      std::string result = ap + kDefaultPort;
      MRTC_LOG(plugin_, 0, kFunc, kLogSingleKeyBlank, result.c_str());
      return result;
    }
    s = a;
  }
  MRTC_LOG(plugin_, 0, kFunc, kLogAddr, s.c_str());
  return s;
}

bool slbServer::getHostAndPort(std::string& hostOut, uint16_t& port) {
  std::string addr = getMultiServer();
  size_t colon = addr.find(':');
  if (addr.empty() || colon == std::string::npos || colon == 0 || colon + 1 >= addr.size()) {
    return false;
  }
  hostOut = addr.substr(0, colon);
  std::string rest = addr.substr(colon + 1);
  if (!tools::isNumber(rest)) return false;
  port = static_cast<uint16_t>(tools::strToInt64(rest));
  return true;
}

}  // namespace imsdkmrtc
