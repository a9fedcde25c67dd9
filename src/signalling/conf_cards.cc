// Conference and live-stream cards: the request-data reader, the extendInfo
// builders, the two card senders, the repair of cards whose conference data
// travels in the properties, and the reader of received cards.
#include <cstring>
#include <ctime>
#include <memory>
#include <utility>

#include "base/json.h"
#include "base/json_escape.h"
#include "base/text_readers.h"
#include "base/version.h"
#include "base/wire_words.h"
#include "signalling/card_build.h"
#include "signalling/card_texts.h"
#include "signalling/card_view.h"
#include "signalling/wire_texts.h"
#include "tools.h"

namespace imsdkmrtc {

namespace ct = texts::card;

namespace {

// Text of a string member; empty when absent or of another type.
std::string textOf(const json::Value& object, const char* key) {
  const json::Value* value = findString(object, key);
  return value != nullptr ? toString(*value) : std::string();
}

bool hasText(const json::Value& object, const char* key) {
  return findString(object, key) != nullptr;
}

const json::Value* findObject(const json::Value& object, const char* key) {
  if (!object.IsObject()) return nullptr;
  auto it = object.FindMember(key);
  if (it == object.MemberEnd() || !it->value.IsObject()) return nullptr;
  return &it->value;
}

int64_t idOf(const std::string& text) { return tools::atoint64(text.c_str()); }

// The same readers over a card read without a document.
std::string textOf(const cardObject& object, const char* key) {
  const std::string* value = object.text(key);
  return value != nullptr ? *value : std::string();
}

bool hasText(const cardObject& object, const char* key) { return object.text(key) != nullptr; }

// Sets field from a string member when that is present and not empty.
void takeText(std::string& field, const cardObject& object, const char* key) {
  const std::string* value = object.text(key);
  if (value != nullptr && !value->empty()) field = *value;
}

void readSelects(const cardObject& object, std::vector<int64_t>& out) {
  if (object.hasSelects) out.insert(out.end(), object.selects.begin(), object.selects.end());
}

bool isConferType(const std::string& rtcType) {
  return rtcType == texts::kMicroConfer || rtcType == texts::kUnbindConfer;
}

std::string twoDigits(int value) { return (value < 10 ? "0" : "") + std::to_string(value); }

// Unbound-conference data (conferType "2"), under "extendInfo" or at the top
// level: each key taken when present and not empty. The owner is left to the
// caller, which alone knows whether it is required.
void readUnbindKeys(const cardObject& object, cardInfo& out) {
  takeText(out.rtcType, object, texts::wire::kRtcType);
  if (out.rtcType.empty()) out.rtcType = texts::kUnbindConfer;
  takeText(out.conferMode, object, texts::wire::kConferMode);
  takeText(out.addr, object, texts::wire::kAddr);
  takeText(out.srvVer, object, texts::wire::kSrvVer);
  takeText(out.srvTag, object, texts::wire::kSrvTag);
  takeText(out.roomName, object, texts::wire::kRoomName);
  takeText(out.roomId, object, texts::kKeyRoomId);
  if (out.roomId.empty()) takeText(out.roomId, object, texts::card::kKeyRoomIdCard);
}

// Keys of an info object written at the top level of the card.
bool readInfoObject(const cardObject& doc, cardInfo& out) {
  takeText(out.roomId, doc, texts::card::kKeyRoomIdCard);
  if (out.roomId.empty()) return false;
  out.singleRead = textOf(doc, texts::card::kKeySingleRead) == "on";
  std::string owner = textOf(doc, texts::wire::kOnwerId);
  if (owner.empty()) return false;
  out.onwerId = idOf(owner);
  std::string sender = textOf(doc, texts::kKeySenderId);
  if (sender.empty()) return false;
  out.senderId = idOf(sender);
  out.mode = textOf(doc, texts::kKeyMode);
  if (out.mode.empty()) return false;
  takeText(out.conferType, doc, texts::card::kKeyConferType);
  takeText(out.conferMode, doc, texts::wire::kConferMode);
  takeText(out.beginTime, doc, texts::wire::kBeginTime);
  takeText(out.version, doc, texts::wire::kVersion);
  takeText(out.roomName, doc, texts::wire::kRoomName);
  takeText(out.roomToken, doc, texts::wire::kRoomToken);
  takeText(out.addr, doc, texts::wire::kAddr);
  takeText(out.orderTime, doc, texts::card::kKeyOrderTime);
  takeText(out.srvVer, doc, texts::wire::kSrvVer);
  takeText(out.srvTag, doc, texts::wire::kSrvTag);
  readSelects(doc, out.selects);
  return true;
}

// The call card: data under "extendInfo".
bool readCallCard(const cardView& view, cardInfo& out) {
  if (!view.hasExtend) return false;
  const cardObject* info = &view.extend;
  if (hasText(*info, texts::wire::kRtcType)) out.rtcType = textOf(*info, texts::wire::kRtcType);
  if (hasText(*info, texts::card::kKeyRoomIdCard)) {
    out.roomId = textOf(*info, texts::card::kKeyRoomIdCard);
  } else if (hasText(*info, texts::kKeyRoomId)) {
    out.roomId = textOf(*info, texts::kKeyRoomId);
  } else {
    return false;
  }
  takeText(out.roomName, *info, texts::wire::kRoomName);
  if (hasText(*info, texts::wire::kRoomToken)) {
    out.roomToken = textOf(*info, texts::wire::kRoomToken);
  }
  if (hasText(*info, texts::wire::kAddr)) out.addr = textOf(*info, texts::wire::kAddr);
  if (hasText(*info, texts::card::kKeyOrderTime)) {
    out.orderTime = textOf(*info, texts::card::kKeyOrderTime);
  }
  if (hasText(*info, texts::wire::kSrvVer)) out.srvVer = textOf(*info, texts::wire::kSrvVer);
  if (hasText(*info, texts::wire::kSrvTag)) out.srvTag = textOf(*info, texts::wire::kSrvTag);
  if (hasText(*info, texts::wire::kConferMode)) {
    out.conferMode = textOf(*info, texts::wire::kConferMode);
  }
  if (hasText(*info, texts::card::kKeySingleRead)) {
    out.singleRead = textOf(*info, texts::card::kKeySingleRead) == "on";
  }
  const bool conference = isConferType(out.rtcType);
  if (!hasText(*info, texts::kKeySenderId)) return false;
  out.senderId = idOf(textOf(*info, texts::kKeySenderId));
  if (!conference) {
    if (!hasText(*info, texts::kKeyGroupId)) return false;
    out.groupId = idOf(textOf(*info, texts::kKeyGroupId));
  }
  if (!hasText(*info, texts::wire::kOnwerId)) return false;
  out.onwerId = idOf(textOf(*info, texts::wire::kOnwerId));
  if (hasText(*info, texts::wire::kOName)) out.oName = textOf(*info, texts::wire::kOName);
  if (!hasText(*info, texts::wire::kVersion)) return false;
  out.version = textOf(*info, texts::wire::kVersion);
  if (!hasText(*info, texts::kKeyMode)) return false;
  out.mode = textOf(*info, texts::kKeyMode);
  if (!conference) {
    const cardObject::member* sub = info->find(ct::kKeySubType);
    if (sub == nullptr || sub->type != cardObject::kind::kInt) return false;
    out.subType = sub->number;
  }
  readSelects(*info, out.selects);
  if (conference) {
    if (hasText(*info, texts::card::kKeyConferType)) {
      out.conferType = textOf(*info, texts::card::kKeyConferType);
    }
  }
  // A call card carries it too: a talk joined from the card keeps it.
  if (hasText(*info, texts::wire::kBeginTime)) {
    out.beginTime = textOf(*info, texts::wire::kBeginTime);
  }
  return true;
}

}  // namespace

bool msgProxy::readConfRequest(const std::string& text, confRequest& out) {
  jsonDocument doc;
  if (text.empty() || !parseText(doc, text)) return false;
  const json::Value* req = findObject(doc, texts::card::kKeyReqData);
  if (req == nullptr || !hasText(*req, texts::card::kKeyConferType) ||
      !hasText(*req, texts::wire::kConferMode)) {
    return false;
  }
  auto selects = req->FindMember(texts::wire::kSelects);
  if (selects == req->MemberEnd() || !selects->value.IsArray() || selects->value.Empty()) {
    return false;
  }
  out.conferType = textOf(*req, texts::card::kKeyConferType);
  out.conferMode = textOf(*req, texts::wire::kConferMode);
  if (hasText(*req, texts::wire::kRoomName)) out.roomName = textOf(*req, texts::wire::kRoomName);
  if (hasText(*req, texts::wire::kAddr)) out.addr = textOf(*req, texts::wire::kAddr);
  out.singleRead =
      textOf(*req, texts::card::kKeySingleRead) == "on" ? "on" : texts::card::kSwitchOff;
  if (hasText(*req, texts::kKeyGroupId)) out.groupId = textOf(*req, texts::kKeyGroupId);
  for (const json::Value& element : selects->value.GetArray()) {
    if (element.IsString()) out.selects.push_back(toString(element));
  }
  if (hasText(*req, texts::kKeyRoomId)) out.roomId = textOf(*req, texts::kKeyRoomId);
  if (hasText(*req, texts::card::kKeyOrderTime)) {
    out.orderTime = textOf(*req, texts::card::kKeyOrderTime);
  }
  if (hasText(*req, texts::wire::kRoomToken)) out.roomToken = textOf(*req, texts::wire::kRoomToken);
  if (hasText(*req, texts::wire::kSrvVer)) out.srvVer = textOf(*req, texts::wire::kSrvVer);
  if (hasText(*req, texts::wire::kSrvTag)) out.srvTag = textOf(*req, texts::wire::kSrvTag);
  return true;
}

bool msgProxy::buildMicroconferInfo(std::string& out, const std::string& request,
                                    const std::string& stamp) {
  confRequest req;
  if (!readConfRequest(request, req)) return false;
  const std::string self = tools::int64_To_Str(plugin_ != nullptr ? plugin_->selfId() : 0);
  const std::string now = tools::int64_To_Str(tools::getLocalTime());
  std::string info = "{";
  appendQuotedPair(info, texts::kKeyMode, texts::card::kModeMcalling);
  appendQuotedPair(info, texts::wire::kRtcType, texts::kMicroConfer);
  appendQuotedPair(info, texts::card::kKeyConferType, req.conferType);
  appendQuotedPair(info, texts::wire::kConferMode, req.conferMode);
  appendQuotedPair(info, texts::card::kKeySingleRead, req.singleRead);
  appendQuotedPair(info, texts::wire::kBeginTime, now);
  appendQuotedPair(info, texts::wire::kVersion, kProtocolVersion);
  appendQuotedPair(info, texts::card::kKeyRoomIdCard, self + "-" + (stamp.empty() ? now : stamp));
  appendQuotedPair(info, texts::wire::kOnwerId, self);
  appendQuotedPair(info, texts::kKeySenderId, self);
  appendQuotedPair(info, texts::wire::kRoomName, req.roomName);
  if (!req.addr.empty()) appendQuotedPair(info, texts::wire::kAddr, req.addr);
  info += "\"selects\":";
  appendQuotedArray(info, req.selects);
  info += '}';
  out = info;
  return true;
}

bool msgProxy::buildUnbindconferInfo(std::string& out, const std::string& request) {
  confRequest req;
  if (!readConfRequest(request, req) || req.roomId.empty()) return false;
  if (!req.groupId.empty() && req.conferType == ct::kConferUnbound) return false;
  const std::string self = tools::int64_To_Str(plugin_ != nullptr ? plugin_->selfId() : 0);
  std::string info = "{";
  appendQuotedPair(info, texts::kKeyMode, texts::card::kModeMcalling);
  appendQuotedPair(info, texts::wire::kRtcType, texts::kUnbindConfer);
  appendQuotedPair(info, texts::card::kKeyConferType, req.conferType);
  appendQuotedPair(info, texts::wire::kConferMode, req.conferMode);
  appendQuotedPair(info, texts::card::kKeySingleRead, req.singleRead);
  appendQuotedPair(info, texts::wire::kBeginTime, tools::int64_To_Str(tools::getLocalTime()));
  appendQuotedPair(info, texts::card::kKeyOrderTime, req.orderTime);
  appendQuotedPair(info, texts::wire::kVersion, kProtocolVersion);
  appendQuotedPair(info, texts::card::kKeyRoomIdCard, req.roomId);
  appendQuotedPair(info, texts::wire::kOnwerId, self);
  appendQuotedPair(info, texts::kKeySenderId, self);
  appendQuotedPair(info, texts::wire::kRoomName, req.roomName);
  if (!req.roomToken.empty()) appendQuotedPair(info, texts::wire::kRoomToken, req.roomToken);
  if (!req.addr.empty()) appendQuotedPair(info, texts::wire::kAddr, req.addr);
  if (!req.srvVer.empty()) appendQuotedPair(info, texts::wire::kSrvVer, req.srvVer);
  if (!req.srvTag.empty()) appendQuotedPair(info, texts::wire::kSrvTag, req.srvTag);
  info += "\"selects\":";
  appendQuotedArray(info, req.selects);
  info += '}';
  out = info;
  return true;
}

bool msgProxy::sendMicroconferCard(const std::string& request) {
  std::string info;
  if (!buildMicroconferInfo(info, request, ct::kMicroStamp)) return false;
  confRequest req;
  readConfRequest(request, req);
  const std::string self = userNameOf(plugin_, plugin_ != nullptr ? plugin_->selfId() : 0);
  const std::shared_ptr<const cardTemplate> shared = currentTemplate();
  const cardTemplate& tpl = *shared;
  std::string card;
  appendCardHead(card, tpl.content, ct::kMicroDetailUrl);
  card += "\"extendInfo\":" + info + ",";
  appendCardTitleBar(card,
                     {ct::kMicroTitle, ct::kMicroTitleEng, ct::kTitleColor, texts::kMicroConfer,
                      ct::kMicroTitleBgColor},
                     self);
  appendFieldLists(card, tpl.parts.rows, req.addr, self);
  card += "}";
  std::vector<int64_t> limit;
  for (const std::string& id : req.selects) limit.push_back(tools::strToInt64(id));
  return sendTempMsssage(tools::strToInt64(req.groupId), std::move(card), limit,
                         cardDelivery::kInsertThenSend);
}

bool msgProxy::sendLivingCard(const std::string& settings) {
  const std::string groupId = getJsonString(settings, texts::kKeyGroupId);
  const std::string roomId = getJsonString(settings, texts::kKeyRoomId);
  if (groupId.empty() || roomId.empty()) return false;
  const std::string roomName = getJsonString(settings, texts::wire::kRoomName);
  const std::string version = getJsonString(settings, texts::wire::kVersion);
  const std::string startText = getJsonString(settings, texts::card::kKeyStartTime);
  const std::string stopText = getJsonString(settings, texts::card::kKeyStopTime);
  const std::string serverAddr = getJsonString(settings, texts::card::kKeyServerAddr);

  int64_t start = tools::getLocalTime();
  int64_t stop = start + 3600;
  if (!startText.empty() && tools::isNumber(startText)) start = tools::strToInt64(startText);
  if (!stopText.empty() && tools::isNumber(stopText)) stop = tools::strToInt64(stopText);
  std::tm startTm{};
  std::tm stopTm{};
  const time_t startT = static_cast<time_t>(start);
  const time_t stopT = static_cast<time_t>(stop);
  localtime_r(&startT, &startTm);
  localtime_r(&stopT, &stopTm);
  const std::string year = std::to_string(startTm.tm_year + 1900);
  const std::string month = std::to_string(startTm.tm_mon + 1);
  const std::string day = std::to_string(startTm.tm_mday);
  const std::string date = year + ct::kYear + month + ct::kMonth + day + ct::kDay;
  const std::string dateEng = month + "/" + day + "/" + year;
  const std::string timeText = std::to_string(startTm.tm_hour) + ":" + twoDigits(startTm.tm_min) +
                               "-" + std::to_string(stopTm.tm_hour) + ":" +
                               twoDigits(stopTm.tm_min);

  const int64_t selfId = plugin_ != nullptr ? plugin_->selfId() : 0;
  const std::string self = tools::int64_To_Str(selfId);
  const std::string name = userNameOf(plugin_, selfId);
  const std::string content = !roomName.empty() ? roomName : name + ct::kLivingRoomSuffix;
  const std::shared_ptr<const cardTemplate> shared = currentTemplate();
  const cardTemplate& tpl = *shared;

  auto field = [](const char* key, const std::string& value) {
    return std::string("{\"") + key + "\":\"" + jsonEscape(value) + "\"}";
  };
  std::string fields = field(ct::kLivingAnchor, name) + "," + field(ct::kLivingDate, date) + "," +
                       field(ct::kLivingTime, timeText);
  std::string fieldsEng = field(ct::kLivingAnchorEng, name) + "," +
                          field(ct::kLivingDateEng, dateEng) + "," +
                          field(ct::kLivingTimeEng, timeText);
  if (tpl.isVersion) {
    fields += "," + field(ct::kLivingVersion, version);
    fieldsEng += "," + field(ct::kLivingVersionEng, version);
  }

  std::string card;
  appendCardHead(card, content, tpl.livingUpdateUrl);
  card += "\"extendInfo\":{\"subType\":15,";
  appendQuotedPair(card, texts::card::kKeyRoomIdCard, roomId);
  appendQuotedPair(card, texts::wire::kOnwerId, self);
  appendQuotedPair(card, texts::kKeyGroupId, groupId);
  appendQuotedPair(card, texts::kKeySenderId, self);
  appendQuotedPair(card, texts::wire::kRoomName, roomName);
  appendQuotedPair(card, texts::wire::kVersion, version);
  appendQuotedPair(card, texts::card::kKeyStartTime, tools::int64_To_Str(start));
  appendQuotedPair(card, texts::card::kKeyStopTime, tools::int64_To_Str(stop));
  appendQuotedPair(card, texts::kKeyMode, "living");
  appendQuotedPair(card, texts::card::kKeyDesc, texts::card::kKeyRemark);
  appendQuotedPair(card, texts::card::kKeyServerAddr, serverAddr);
  card += "\"selects\":[]},";
  appendCardTitleBar(card,
                     {ct::kLivingTitle, ct::kLivingTitleEng, ct::kTitleColor, texts::kRtc,
                      ct::kLivingTitleBgColor},
                     name);
  card += "\"fields\":[" + fields + "],\"fields_eng\":[" + fieldsEng + "]}";
  return sendTempMsssage(tools::strToInt64(groupId), std::move(card), {},
                         cardDelivery::kInsertThenSend);
}

int32_t msgProxy::reviseVnioMicroTemplet(std::string& card) {
  cardView view;
  readCardView(card, view);
  return reviseVnioMicroTemplet(card, view);
}

int32_t msgProxy::reviseVnioMicroTemplet(std::string& card, cardView& view) {
  auto step = [this](int n) { PROXY_LOG(plugin_, ct::kFnRevise, ct::kLogReviseStep, n); };
  PROXY_LOG(plugin_, ct::kFnRevise, ct::kLogReviseLen, static_cast<int>(card.size()));
  PROXY_LOG(plugin_, ct::kFnRevise, ct::kLogReviseText, logCut(card).c_str());
  if (card.empty()) return 1;
  if (!view.parsed) return 2;
  step(1);
  const std::string type = textOf(view.root, texts::wire::kType);
  if (type != "vnio" && type != "1") return 3;
  step(2);
  const std::string props = textOf(view.root, ct::kKeyMsgProperties);
  if (props.empty()) return 4;
  step(3);
  jsonDocument propDoc;
  const bool parsed = parseText(propDoc, props);
  step(4);
  if (!parsed) return 5;
  if (findObject(propDoc, texts::card::kKeyExtendInfo) == nullptr) return 6;
  const size_t at = props.find(texts::card::kKeyExtendInfo);
  if (at == std::string::npos) return 7;
  if (props.find(texts::kMicroConfer) == std::string::npos &&
      props.find(texts::kUnbindConfer) == std::string::npos) {
    return 8;
  }
  step(5);
  const size_t open = props.find('{', at + 10);
  if (open == std::string::npos) return 9;
  step(6);
  const size_t close = props.find('}', open + 1);
  if (close == std::string::npos) return 9;
  step(7);
  card.insert(card.size() - 1, ",\"extendInfo\":" + props.substr(open, close - open + 1));
  readCardView(card, view);
  step(8);
  step(9);
  return 0;
}

bool msgProxy::readCardInfo(const std::string& card, cardInfo& out) {
  cardView view;
  return !card.empty() && readCardView(card, view) && readCardInfo(view, out);
}

bool msgProxy::readCardInfo(const cardView& view, cardInfo& out) {
  if (!view.parsed) return false;
  const cardObject& doc = view.root;
  if (view.hasExtend && textOf(view.extend, ct::kKeyConferType) == ct::kConferUnbound) {
    const cardObject& extend = view.extend;
    readUnbindKeys(extend, out);
    std::string owner = textOf(extend, texts::wire::kOnwerId);
    if (!owner.empty()) out.onwerId = idOf(owner);
    out.version = kProtocolVersion;
    return true;
  }

  takeText(out.roomId, doc, texts::kKeyRoomId);
  takeText(out.conferType, doc, texts::card::kKeyConferType);
  if (!out.conferType.empty() && out.conferType != ct::kConferUnbound) {
    out.roomId = textOf(doc, texts::kKeyRoomId);
    out.groupId = idOf(textOf(doc, texts::kKeyGroupId));
    return true;
  }
  takeText(out.rtcType, doc, texts::wire::kRtcType);
  if (out.conferType == ct::kConferUnbound) {
    readUnbindKeys(doc, out);
    if (out.roomId.empty()) return false;
    std::string owner = textOf(doc, texts::wire::kOnwerId);
    if (owner.empty()) return false;
    out.onwerId = idOf(owner);
    out.version = kProtocolVersion;
    return true;
  }
  if (isConferType(out.rtcType)) return readInfoObject(doc, out);
  return readCallCard(view, out);
}

}  // namespace imsdkmrtc
