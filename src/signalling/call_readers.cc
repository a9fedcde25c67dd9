// Readers of texts that are not signalling commands: the call extend of a
// request, the answer of the room-token cache and the properties of a message
// relayed by the service account.
#include <iterator>
#include <utility>

#include "base/json.h"
#include "signalling/cmd_body.h"
#include "signalling/msg_proxy.h"
#include "signalling/wire_texts.h"
#include "tools.h"

namespace imsdkmrtc {

namespace {

// The field of each text key of an extend, by extendKey.
std::string callExtend::*const kExtendFields[kExtendTextKeys] = {
    &callExtend::addr,      &callExtend::conferMode, &callExtend::mode,   &callExtend::rtcType,
    &callExtend::roomToken, &callExtend::srvVer,     &callExtend::srvTag,
};

void appendTexts(std::vector<std::string>& from, std::vector<std::string>& to) {
  to.insert(to.end(), std::make_move_iterator(from.begin()), std::make_move_iterator(from.end()));
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
  extendMembers members;
  if (!quickExtendMembers(text, members)) {
    // Something the quick pass leaves to the general reader: start over.
    members = extendMembers();
    if (!fullExtendMembers(text, members)) return false;
  }
  for (int k = 0; k < kExtendTextKeys; ++k) {
    if (members.found[k]) out.*kExtendFields[k] = std::move(members.texts[k]);
  }
  if (out.rtcType.empty()) out.rtcType = texts::kRtc;

  appendTexts(members.initState.texts, out.initState);
  if (members.initState.refused) return false;
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
  appendTexts(members.outMembers.texts, out.outMembers);
  return !members.outMembers.refused;
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
