// Weak hints: the grey one-line notices a call writes into the chat. The body
// carries the visible text, the properties the data other clients read back.
#include <initializer_list>
#include <string_view>
#include <utility>

#include "base/json_escape.h"
#include "base/weak_hint_words.h"
#include "signalling/card_build.h"
#include "signalling/card_texts.h"
#include "signalling/msg_types.h"
#include "tools.h"

namespace imsdkmrtc {

namespace ct = texts::card;

namespace {

// A hint's texts are a few hundred bytes at most: one buffer each.
constexpr size_t kHintCapacity = 256;

// {"body":"<text>","msgBodyType":"12"}, the text given in pieces (escaping a
// text escapes each of its pieces).
std::string hintBody(std::initializer_list<std::string_view> text) {
  std::string body;
  body.reserve(kHintCapacity);
  body += "{\"body\":\"";
  for (std::string_view piece : text) appendJsonEscaped(body, piece);
  body += "\",\"";
  body += texts::kKeyMsgBodyType;
  body += "\":\"";
  body += std::to_string(kHintBodyType);
  body += "\"}";
  return body;
}

// {"operType":..,"operUser":..,"usersInfo":..}, the users' info given in
// pieces. operType is empty for a version hint of an unknown case.
std::string hintProperties(const std::string& operType, int64_t operUser,
                           std::initializer_list<std::string_view> usersInfo) {
  std::string properties;
  properties.reserve(kHintCapacity);
  properties += "{\"";
  properties += texts::kKeyOperType;
  properties += "\":\"";
  properties += operType;
  properties += "\",\"operUser\":\"";
  properties += tools::int64_To_Str(operUser);
  properties += "\",\"";
  properties += texts::kKeyUsersInfo;
  properties += "\":\"";
  for (std::string_view piece : usersInfo) appendJsonEscaped(properties, piece);
  properties += "\"}";
  return properties;
}

// The properties of a call's begin or finish hint: usersInfo names the
// group, the room and the user.
std::string roomHintProperties(int32_t operType, int64_t operUser, int64_t groupId,
                               const std::string& roomId, const std::string& name) {
  return hintProperties(
      std::to_string(operType), operUser,
      {"groupId=", tools::int64_To_Str(groupId), ",roomId=", roomId, ",operUserName=", name});
}

}  // namespace

bool msgProxy::sendWeakHintBegin(int64_t operUser, int64_t groupOrPeer, const std::string& roomId,
                                 std::string& properties, hintChat chat) {
  const bool isGroup = chat == hintChat::kGroup;
  if (isGroup && groupOrPeer <= 0) return true;
  const std::string name = userNameOf(plugin_, operUser);
  hostPost post;
  post.target = groupOrPeer;
  post.msgType = kMsgTypeWeakHint;
  post.body = hintBody({name, ct::kHintBegin});
  post.properties =
      roomHintProperties(kHintOperBegin, operUser, isGroup ? groupOrPeer : 0, roomId, name);
  post.insert = true;
  properties = post.properties;
  return postToHost(plugin_, std::move(post));
}

bool msgProxy::sendWeakHintFinish(int64_t operUser, int64_t groupId, const std::string& roomId,
                                  std::string& properties) {
  if (groupId == 0) return false;
  const std::string name = userNameOf(plugin_, operUser);
  hostPost post;
  post.target = groupId;
  post.msgType = kMsgTypeWeakHint;
  post.body = hintBody({ct::kHintFinish});
  post.properties = roomHintProperties(kHintOperFinish, operUser, groupId, roomId, name);
  post.insert = true;
  properties = post.properties;
  // This client's own hint handler may hide it (a finish hint for a room that
  // has already been announced).
  if (ownHint_ && ownHint_(post.body, post.properties)) return true;
  return postToHost(plugin_, std::move(post));
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
  hostPost post;
  post.target = target;
  post.msgType = kMsgTypeWeakHint;
  post.body = hintBody({text});
  post.properties = hintProperties(operType, operUser,
                                   {"deviceType=", tools::int64_To_Str(deviceType),
                                    ",callType=", request ? "1" : "2", ",operUserName=", name});
  post.insert = true;
  post.send = false;
  postToHost(plugin_, std::move(post));
  return true;
}

}  // namespace imsdkmrtc
