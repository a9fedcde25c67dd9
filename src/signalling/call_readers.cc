// Readers of texts that are not signalling commands: the call extend of a
// request, the answer of the room-token cache and the properties of a message
// relayed by the service account.
#include "base/json.h"
#include "signalling/msg_proxy.h"
#include "signalling/wire_texts.h"
#include "tools.h"

namespace imsdkmrtc {

namespace {

// A string array member appended to out; false when an element is not a
// string. A member that is absent or not an array leaves out alone.
bool takeTextList(const json::Value& object, const char* key, std::vector<std::string>& out) {
  auto it = object.FindMember(key);
  if (it == object.MemberEnd() || !it->value.IsArray()) return true;
  for (const auto& e : it->value.GetArray()) {
    if (!e.IsString()) return false;
    out.emplace_back(e.GetString(), e.GetStringLength());
  }
  return true;
}

// A 64-bit id from a flat object member, given as a number or as decimal
// text.
bool readId(const json::Value& object, const char* key, int64_t& out) {
  auto it = object.FindMember(key);
  if (it == object.MemberEnd()) return false;
  const json::Value& v = it->value;
  if (v.IsInt64()) {
    out = v.GetInt64();
    return true;
  }
  if (v.IsString()) {
    std::string text(v.GetString(), v.GetStringLength());
    if (!tools::isNumber(text)) return false;
    out = tools::strToInt64(text);
    return true;
  }
  return false;
}

}  // namespace

bool msgProxy::parseCallExtend(const std::string& text, callExtend& out) {
  if (text.empty()) return true;
  jsonDocument doc;
  if (!parseText(doc, text) || !doc.IsObject()) return false;

  struct textKey {
    const char* key;
    std::string callExtend::*field;
  };
  static const textKey kTextKeys[] = {
      {texts::wire::kAddr, &callExtend::addr},
      {texts::wire::kConferMode, &callExtend::conferMode},
      {texts::kKeyMode, &callExtend::mode},
      {texts::wire::kRtcType, &callExtend::rtcType},
      {texts::wire::kRoomToken, &callExtend::roomToken},
      {texts::wire::kSrvVer, &callExtend::srvVer},
      {texts::wire::kSrvTag, &callExtend::srvTag},
  };
  for (const auto& k : kTextKeys) {
    if (const json::Value* v = findString(doc, k.key)) out.*k.field = toString(*v);
  }
  if (out.rtcType.empty()) out.rtcType = texts::kRtc;

  if (!takeTextList(doc, texts::wire::kInitState, out.initState)) return false;
  // A one-to-one call is a voice call ("1") unless some member starts with
  // video: a state entry "<x>_<a>11".
  if (!out.initState.empty() && out.rtcType == texts::kP2pConfer) {
    out.videoType = "1";
    for (const auto& entry : out.initState) {
      size_t first = entry.find('_');
      if (first == std::string::npos) continue;
      size_t end = entry.find('_', first + 1);
      std::string second =
          entry.substr(first + 1, end == std::string::npos ? end : end - first - 1);
      if (second.size() == 3 && second[1] == '1' && second[2] == '1') out.videoType = "2";
    }
  }
  return takeTextList(doc, texts::wire::kOutMembers, out.outMembers);
}

bool msgProxy::readCacheAnswer(const std::string& text, cacheAnswer& out) {
  if (text.empty()) return false;
  jsonDocument doc;
  if (!parseText(doc, text) || !doc.IsObject()) return false;
  auto code = doc.FindMember(texts::wire::kCode);
  if (code != doc.MemberEnd() && code->value.IsInt64()) out.code = code->value.GetInt64();
  if (const json::Value* v = findString(doc, texts::wire::kResult)) out.result = toString(*v);
  if (const json::Value* v = findString(doc, texts::wire::kToken)) out.token = toString(*v);
  // Usable only when the cache says so and actually holds a token.
  return out.code == 0 && !out.token.empty();
}

void msgProxy::fixSystemSender(imsdk::hostMessage& msg) {
  bool toService = msg.targetId == texts::wire::kServiceAccount;
  bool fromService = msg.sendUserId == texts::wire::kServiceAccount;
  if (!toService && !fromService) return;
  jsonDocument doc;
  if (!parseText(doc, msg.extension) || !doc.IsObject()) return;
  int64_t id = 0;
  if (toService) {
    if (!readId(doc, texts::wire::kTargetIdKey, id)) return;
    msg.targetId = id;
  } else {
    if (!readId(doc, texts::wire::kSendUserIdKey, id)) return;
    msg.sendUserId = id;
  }
  msg.fixRef = texts::wire::kFixRefValue;
  msg.fixState = msg.fixState == texts::wire::kFixStateKept ? texts::wire::kFixStateKept
                                                            : texts::wire::kFixStateSet;
}

}  // namespace imsdkmrtc
