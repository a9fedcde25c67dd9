// Weak hints: the grey one-line notices a call writes into the chat. The body
// carries the visible text, the properties the data other clients read back.
#include "base/json_escape.h"
#include "base/weak_hint_words.h"
#include "signalling/card_build.h"
#include "signalling/card_texts.h"
#include "signalling/msg_types.h"
#include "tools.h"

namespace imsdkmrtc {

namespace ct = texts::card;

namespace {

std::string hintBody(const std::string& text) {
  return "{\"body\":\"" + jsonEscape(text) + "\",\"" + texts::kKeyMsgBodyType + "\":\"" +
         std::to_string(kHintBodyType) + "\"}";
}

// operType is empty for a version hint of an unknown case.
std::string hintProperties(const std::string& operType, int64_t operUser,
                           const std::string& usersInfo) {
  return std::string("{\"") + texts::kKeyOperType + "\":\"" + operType + "\",\"operUser\":\"" +
         tools::int64_To_Str(operUser) + "\",\"" + texts::kKeyUsersInfo + "\":\"" +
         jsonEscape(usersInfo) + "\"}";
}

std::string roomUsersInfo(int64_t groupId, const std::string& roomId, const std::string& name) {
  return "groupId=" + tools::int64_To_Str(groupId) + ",roomId=" + roomId + ",operUserName=" + name;
}

}  // namespace

bool msgProxy::sendWeakHintBegin(int64_t operUser, int64_t groupOrPeer, const std::string& roomId,
                                 std::string& properties, hintChat chat) {
  const bool isGroup = chat == hintChat::kGroup;
  if (isGroup && groupOrPeer <= 0) return true;
  std::string name = userNameOf(plugin_, operUser);
  hostPost post;
  post.target = groupOrPeer;
  post.msgType = kMsgTypeWeakHint;
  post.body = hintBody(name + ct::kHintBegin);
  post.properties = hintProperties(std::to_string(kHintOperBegin), operUser,
                                   roomUsersInfo(isGroup ? groupOrPeer : 0, roomId, name));
  post.insert = true;
  properties = post.properties;
  return postToHost(plugin_, post);
}

bool msgProxy::sendWeakHintFinish(int64_t operUser, int64_t groupId, const std::string& roomId,
                                  std::string& properties) {
  if (groupId == 0) return false;
  std::string name = userNameOf(plugin_, operUser);
  hostPost post;
  post.target = groupId;
  post.msgType = kMsgTypeWeakHint;
  post.body = hintBody(ct::kHintFinish);
  post.properties = hintProperties(std::to_string(kHintOperFinish), operUser,
                                   roomUsersInfo(groupId, roomId, name));
  post.insert = true;
  properties = post.properties;
  // This client's own hint handler may hide it (a finish hint for a room that
  // has already been announced).
  if (ownHint_ && ownHint_(post.body, post.properties)) return true;
  return postToHost(plugin_, post);
}

bool msgProxy::sendVersionHint(int32_t kind, int32_t kase, int64_t operUser, int64_t target,
                               int8_t deviceType) {
  if (kind == 1) return false;
  std::string name = userNameOf(plugin_, operUser);
  const bool request = kase == 1 || kase == 3;
  const std::string device = deviceType == 1 ? ct::kDevicePc : ct::kDeviceMobile;
  const std::string advice = kind == 2 ? ct::kAdviceUpgrade : ct::kAdviceNotified;
  const std::string callWord = request ? ct::kCallRequest : ct::kCallInvite;
  std::string operType;
  std::string text;
  if (kase == 1 || kase == 2) {
    operType = std::to_string(kind == 2 ? kHintOperPeerUpgrade : kHintOperPeerNotified);
    text = name + device + ct::kCannotAnswerYour + callWord + ct::kFullComma + advice;
  } else if (kase == 3 || kase == 4) {
    operType = std::to_string(kind == 2 ? kHintOperLocalUpgrade : kHintOperLocalNotified);
    text = ct::kCannotAnswer + name + ct::kOf + callWord + ct::kFullComma + advice;
  }
  std::string usersInfo = "deviceType=" + tools::int64_To_Str(deviceType) +
                          ",callType=" + (request ? "1" : "2") + ",operUserName=" + name;
  hostPost post;
  post.target = target;
  post.msgType = kMsgTypeWeakHint;
  post.body = hintBody(text);
  post.properties = hintProperties(operType, operUser, usersInfo);
  post.insert = true;
  post.send = false;
  postToHost(plugin_, post);
  return true;
}

}  // namespace imsdkmrtc
