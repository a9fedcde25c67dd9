// Every reader of msgProxy that takes received or handed-in text, each
// wrapped to give a one-line summary of what it read ("key=value" for each
// field that differs from its default). Shared by the bad-input test and the
// signalling fuzz target; free of gtest.
#pragma once

#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "plugin/mrtc_plugin.h"
#include "signalling/msg_proxy.h"

namespace imsdkmrtc {
namespace proxyreaders {

template <typename T>
inline std::string listText(const std::vector<T>& items) {
  std::ostringstream out;
  for (size_t i = 0; i < items.size(); ++i) {
    out << (i ? "," : "[");
    if constexpr (std::is_same_v<T, uint8_t>) {
      out << int{items[i]};
    } else {
      out << items[i];
    }
  }
  return out.str() + "]";
}

inline std::string shown(const std::string& value) { return value; }
inline std::string shown(int64_t value) { return value ? std::to_string(value) : ""; }
template <typename T>
inline std::string shown(const std::vector<T>& items) {
  return items.empty() ? "" : listText(items);
}

// "key=value" for every field that differs from its default, so that the
// expectations below name only what a document set.
inline std::string summary(std::string head) { return head; }
template <typename T, typename... Rest>
inline std::string summary(std::string head, const char* key, const T& value, const Rest&... rest) {
  const std::string text = shown(value);
  if (!text.empty()) head += std::string(" ") + key + "=" + text;
  return summary(std::move(head), rest...);
}
#define F(field) #field, r.field

inline std::string readCard(const std::string& text) {
  cardInfo r;
  bool ok = msgProxy::readCardInfo(text, r);
  return summary(ok ? "ok" : "false", F(rtcType), F(conferType), F(conferMode), F(roomId),
                 F(roomName), F(roomToken), F(addr), F(orderTime), F(srvVer), F(srvTag),
                 F(singleRead), F(onwerId), F(senderId), F(groupId), F(oName), F(version), F(mode),
                 F(beginTime), F(subType), F(selects));
}

inline std::string readConf(const std::string& text) {
  confRequest r;
  bool ok = msgProxy::readConfRequest(text, r);
  return summary(ok ? "ok" : "false", F(conferType), F(selects), F(conferMode), F(roomName),
                 F(addr), F(singleRead), F(groupId), F(roomId), F(orderTime), F(roomToken),
                 F(srvVer), F(srvTag));
}

inline std::string readShare(const std::string& text) {
  shareInfo r;
  r.type = "create";
  int32_t code = msgProxy().readShareInfo(text, r);
  return summary("code=" + std::to_string(code), F(groupId), F(ownerId), F(faceToId), F(outMembers),
                 F(managers), F(memberIds), F(shareText));
}

inline std::string readRoomId(const std::string& text) {
  return "roomId=" + msgProxy::readReqRoomId(text);
}

inline std::string revise(const std::string& text) {
  std::string card = text;
  int32_t code = msgProxy().reviseVnioMicroTemplet(card);
  return "code=" + std::to_string(code) + (code == 0 ? " " + card : "");
}

inline std::string reviseCode(const std::string& text) { return revise(text).substr(0, 6); }

inline std::string readCmd(const std::string& text) {
  // The command table lives in a plug-in's proxy; no host is attached.
  static mrtc_plugin plugin;
  mrtcCmd r;
  bool ok = plugin.proxy().transJson2Cmd(text, r);
  return summary(ok ? "ok" : "false", F(cmdCode), F(rtcType), F(annotation), F(senderId),
                 F(selects), F(groupId), F(onwerId), F(oName), F(beginTime), F(roomId),
                 F(roomToken), F(roomName), F(addr), F(members), F(memstates), F(hismembers),
                 F(deviceType), F(version), F(VideoStatus), F(extend), F(cmode), F(initState),
                 F(recall), F(srvVer), F(srvTag), F(videoType));
}

inline std::string readExtend(const std::string& text) {
  callExtend r;
  bool ok = msgProxy::parseCallExtend(text, r);
  return summary(ok ? "ok" : "false", F(addr), F(conferMode), F(mode), F(initState), F(outMembers),
                 F(rtcType), F(roomToken), F(srvVer), F(srvTag), F(videoType));
}

inline std::string readCache(const std::string& text) {
  cacheAnswer r;
  bool ok = msgProxy::readCacheAnswer(text, r);
  return summary(std::string(ok ? "ok" : "false") + " code=" + std::to_string(r.code), F(result),
                 F(token));
}

inline std::string fixSender(int64_t sender, int64_t target, const std::string& extension) {
  imsdk::hostMessage r;
  r.sendUserId = sender;
  r.targetId = target;
  r.extension = extension;
  msgProxy::fixSystemSender(r);
  return summary("sender=" + std::to_string(r.sendUserId) + " target=" + std::to_string(r.targetId),
                 F(fixRef), F(fixState));
}
#undef F

// A message relayed to the service account, and one relayed from it.
inline std::string fixToService(const std::string& text) { return fixSender(7, 10001, text); }
inline std::string fixFromService(const std::string& text) { return fixSender(10001, 500, text); }

struct Reader {
  const char* name;
  std::function<std::string(const std::string&)> read;
  // What must not change when a key's value has the wrong type (defaults to
  // read).
  std::function<std::string(const std::string&)> outcome;
  // Ids given as numbers or as decimal text are both valid.
  bool idsEitherWay = false;
};

inline const std::vector<Reader>& readers() {
  static const std::vector<Reader> all = {
      {"transJson2Cmd", readCmd, nullptr},
      {"parseCallExtend", readExtend, nullptr},
      {"readCacheAnswer", readCache, nullptr},
      {"fixSystemSender(to)", fixToService, nullptr, true},
      {"fixSystemSender(from)", fixFromService, nullptr, true},
      {"readCardInfo", readCard, nullptr},
      {"readConfRequest", readConf, nullptr},
      {"readShareInfo", readShare, nullptr},
      {"readReqRoomId", readRoomId, nullptr},
      {"reviseVnioMicroTemplet", revise, reviseCode},
  };
  return all;
}

inline const Reader& reader(const std::string& name) {
  for (const Reader& r : readers()) {
    if (name == r.name) return r;
  }
  throw std::runtime_error("no reader " + name);
}

}  // namespace proxyreaders
}  // namespace imsdkmrtc
