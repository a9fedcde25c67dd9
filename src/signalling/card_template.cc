// The call card: its template, the settings that change it and the builder
// and sender of the card text.
#include <memory>
#include <utility>

#include "base/base64.h"
#include "base/json_escape.h"
#include "base/text_readers.h"
#include "base/version.h"
#include "base/wire_words.h"
#include "signalling/card_build.h"
#include "signalling/card_texts.h"
#include "signalling/msg_types.h"
#include "signalling/wire_texts.h"
#include "tools.h"

namespace imsdkmrtc {

namespace ct = texts::card;

namespace {

tempField makeRow(const std::string& key, const std::string& name, const std::string& value,
                  const std::string& nameEng, const std::string& valueEng) {
  tempField row;
  row.key = key;
  row.keyType = 1;
  row.name = name;
  row.value = value;
  row.name_eng = nameEng;
  row.value_eng = valueEng;
  return row;
}

void upsertRow(cardTemplate& tpl, const std::string& key, fieldKey keyRule, const std::string& name,
               const std::string& value, const std::string& nameEng, const std::string& valueEng) {
  if (keyRule == fieldKey::kUnique) {
    for (tempField& row : tpl.rows) {
      if (row.key == key) {
        row.name = name;
        row.name_eng = nameEng;
        return;
      }
    }
  }
  tpl.rows.push_back(makeRow(key, name, value, nameEng, valueEng));
}

// The text after the first '@' of the protocol word, prefixed with "v".
std::string versionLabel() {
  std::string word = kProtocolVersion;
  size_t at = word.find('@');
  return "v" + (at == std::string::npos ? word : word.substr(at + 1));
}

void replaceIfSet(std::string& field, const std::string& value) {
  if (!value.empty()) field = value;
}

}  // namespace

cardTemplate defaultCardTemplate() {
  cardTemplate tpl;
  tpl.livingUpdateUrl =
      std::string(ct::kSchemePrefix) + ct::kUpdatePageHost + ct::kLivingUpdatePath;
  tpl.schemePrefix = ct::kSchemePrefix;
  tpl.mcallingUpdateUrl =
      std::string(ct::kSchemePrefix) + ct::kUpdatePageHost + ct::kMcallingUpdatePath;
  tpl.title = ct::kTitle;
  tpl.title_eng = ct::kTitleEng;
  tpl.titleColor = ct::kTitleColor;
  tpl.titleBgColor = ct::kTitleBgColor;
  tpl.rows.push_back(
      makeRow(ct::kKeyOriginator, ct::kNameOriginator, "", ct::kNameEngOriginator, ""));
  tpl.rows.push_back(makeRow(texts::wire::kVersion, ct::kNameVersion, "", ct::kNameEngVersion, ""));
  tpl.isVersion = false;
  renderCardParts(tpl);
  return tpl;
}

namespace {

renderedRow renderRow(const tempField& row) {
  renderedRow shown;
  if (row.key == ct::kKeyOriginator) {
    // Opened up to the value, which is the owner of each call.
    shown.show = rowShow::kOriginator;
    appendFieldOpen(shown.field, row.name);
    appendFieldOpen(shown.fieldEng, row.name_eng);
  } else if (row.key == texts::wire::kVersion) {
    shown.show = rowShow::kWithServer;
    const std::string version = versionLabel();
    appendField(shown.field, row.name, version);
    appendField(shown.fieldEng, row.name_eng, version);
  } else {
    appendField(shown.field, row.name, row.value);
    appendField(shown.fieldEng, row.name_eng, row.value_eng);
  }
  return shown;
}

}  // namespace

void renderCardParts(cardTemplate& tpl) {
  cardParts& parts = tpl.parts;
  parts.callHead.clear();
  appendCardHead(parts.callHead, tpl.content, tpl.mcallingUpdateUrl);
  parts.callLooks.clear();
  appendCardLooks(parts.callLooks,
                  {tpl.title, tpl.title_eng, tpl.titleColor, texts::kRtc, tpl.titleBgColor});
  parts.rows.clear();
  for (const tempField& row : tpl.rows) {
    if (row.keyType != 0) parts.rows.push_back(renderRow(row));
  }
}

// Every plug-in starts with one template, assembled once per process and
// only read after.
static const std::shared_ptr<const cardTemplate>& startTemplate() {
  static const std::shared_ptr<const cardTemplate> tpl =
      std::make_shared<const cardTemplate>(defaultCardTemplate());
  return tpl;
}

msgProxy::msgProxy() : template_(startTemplate()) {}

const std::vector<serverLabel>& msgProxy::serverLabels() {
  static const std::vector<serverLabel> labels = {
      {"10.0.0.1:", "test-a"},
      {"10.0.0.2:", "test-b"},
      {"10.0.0.3:", "test-c"},
  };
  return labels;
}

const serverLabel* msgProxy::serverLabelOf(const std::string& addr) {
  if (addr.empty()) return nullptr;
  for (const serverLabel& entry : serverLabels()) {
    if (addr.find(entry.prefix) != std::string::npos) return &entry;
  }
  return nullptr;
}

namespace {

constexpr size_t kCallCardCapacity = 4096;

// The pairs of every call card that no call and no template changes,
// escaped once.
struct fixedCallPairs {
  std::string version;  // the protocol version, before the admin
  std::string tail;     // after the admin: start and stop time, mode, remark
};

const fixedCallPairs& fixedPairs() {
  static const fixedCallPairs pairs = [] {
    fixedCallPairs made;
    appendQuotedPair(made.version, texts::wire::kVersion, kProtocolVersion);
    appendQuotedPair(made.tail, texts::card::kKeyStartTime, "0");
    appendQuotedPair(made.tail, texts::card::kKeyStopTime, "0");
    appendQuotedPair(made.tail, texts::kKeyMode, texts::card::kModeMcalling);
    appendQuotedPair(made.tail, texts::card::kKeyDesc, texts::card::kKeyRemark);
    return made;
  }();
  return pairs;
}

}  // namespace

bool msgProxy::addServerLabel(std::vector<tempField>& rows, const std::string& addr) const {
  const serverLabel* entry = serverLabelOf(addr);
  if (entry == nullptr) return false;
  rows.push_back(
      makeRow(texts::wire::kAddr, ct::kNameServer, entry->label, ct::kNameEngServer, entry->label));
  return true;
}

std::shared_ptr<const cardTemplate> msgProxy::currentTemplate() const {
  imsdk::autoLock guard(&templateLock_);
  return template_;
}

cardTemplate msgProxy::templateCopy() const { return *currentTemplate(); }

template <typename Edit>
void msgProxy::changeTemplate(Edit edit) {
  imsdk::autoLock guard(&templateLock_);
  auto changed = std::make_shared<cardTemplate>(*template_);
  edit(*changed);
  renderCardParts(*changed);
  template_ = std::move(changed);
}

void msgProxy::upsertField(const std::string& key, fieldKey keyRule, const std::string& name,
                           const std::string& value, const std::string& name_eng,
                           const std::string& value_eng) {
  changeTemplate(
      [&](cardTemplate& tpl) { upsertRow(tpl, key, keyRule, name, value, name_eng, value_eng); });
}

void msgProxy::removeAllFields() {
  changeTemplate([](cardTemplate& tpl) { tpl.rows.clear(); });
}

void msgProxy::setMcallingTemplet(const std::string& settings) {
  bool isFields = false;
  if (getJsonBool(settings, "isfields", isFields) && isFields) {
    std::string opt = getJsonString(settings, "optType");
    if (opt == "removeAll") {
      removeAllFields();
    } else if (opt == "add") {
      std::string key = getJsonString(settings, "keyType");
      std::string name = getJsonString(settings, "key");
      std::string nameEng = getJsonString(settings, "key_eng");
      if (key == ct::kKeyOriginator || key == texts::wire::kVersion) {
        // Their values are computed when a card is built.
        upsertField(key, fieldKey::kUnique, name, "", nameEng, "");
      } else {
        upsertField(key, fieldKey::kUnique, name, getJsonString(settings, "value"), nameEng,
                    getJsonString(settings, "value_eng"));
      }
    }
    return;
  }
  bool isVersion = false;
  bool hasVersion = getJsonBool(settings, "isVersion", isVersion);
  std::string detailUrl = getJsonString(settings, texts::card::kKeyTempDetailUrl);
  std::string title = getJsonString(settings, "tempTitle");
  std::string content = getJsonString(settings, "tempContent");
  std::string titleColor = getJsonString(settings, "tempTitleColor");
  std::string titleBgColor = getJsonString(settings, "tempTitleBgColor");
  std::string titleEng = getJsonString(settings, "tempTitleEng");
  changeTemplate([&](cardTemplate& tpl) {
    if (hasVersion) tpl.isVersion = isVersion;
    replaceIfSet(tpl.mcallingUpdateUrl, detailUrl);
    replaceIfSet(tpl.title, title);
    replaceIfSet(tpl.content, content);
    replaceIfSet(tpl.titleColor, titleColor);
    replaceIfSet(tpl.titleBgColor, titleBgColor);
    replaceIfSet(tpl.title_eng, titleEng);
  });
}

void msgProxy::setLivingTemplet(const std::string& settings) {
  std::string url = getJsonString(settings, texts::card::kKeyTempDetailUrl);
  if (url.empty()) return;
  changeTemplate([&](cardTemplate& tpl) { tpl.livingUpdateUrl = url; });
}

void msgProxy::fillTempMessage(std::string& out, const talkInfo& talk,
                               const std::vector<int64_t>& callees,
                               const std::vector<std::string>& initState) {
  PROXY_LOG(plugin_, ct::kFnFill, ct::kLogFillBegin, static_cast<long long>(talk.onwerId),
            talk.oName.c_str(), static_cast<int>(initState.size()));
  std::string owner;
  if (!talk.oName.empty()) {
    owner = base64Decode(talk.oName);
  } else if (talk.onwerId > 0) {
    owner = userNameOf(plugin_, talk.onwerId);
  }
  PROXY_LOG(plugin_, ct::kFnFill, ct::kLogFillOwner, owner.c_str());

  int64_t selfId = plugin_ != nullptr ? plugin_->selfId() : 0;
  const std::shared_ptr<const cardTemplate> shared = currentTemplate();
  const cardTemplate& tpl = *shared;
  // A call card with the application's rows and long names runs to a few
  // kilobytes: one buffer for all of it, not a doubling per kilobyte.
  std::string card;
  card.reserve(kCallCardCapacity);
  card += tpl.parts.callHead;
  card += "\"extendInfo\":{\"subType\":14,";
  appendQuotedPair(card, texts::wire::kRtcType, talk.rtcType);
  appendQuotedPair(card, texts::card::kKeyRoomIdCard, talk.roomId);
  appendQuotedNumber(card, texts::wire::kOnwerId, talk.onwerId);
  appendQuotedNumber(card, texts::kKeyGroupId, talk.groupId);
  appendQuotedNumber(card, texts::kKeySenderId, selfId);
  if (!owner.empty()) appendQuotedPair(card, texts::wire::kOName, base64Encode(owner));
  appendQuotedPair(card, texts::wire::kRoomName, talk.roomName);
  if (!talk.roomToken.empty()) appendQuotedPair(card, texts::wire::kRoomToken, talk.roomToken);
  if (!talk.addr.empty()) appendQuotedPair(card, texts::wire::kAddr, talk.addr);
  if (!talk.srvVer.empty()) appendQuotedPair(card, texts::wire::kSrvVer, talk.srvVer);
  if (!talk.srvTag.empty()) appendQuotedPair(card, texts::wire::kSrvTag, talk.srvTag);
  appendQuotedPair(card, texts::wire::kConferMode, talk.conferMode);
  appendQuotedPair(card, texts::card::kKeySingleRead,
                   talk.single != 0 ? "on" : texts::card::kSwitchOff);
  appendQuotedNumber(card, texts::wire::kBeginTime, talk.beginTime);
  const fixedCallPairs& fixed = fixedPairs();
  card += fixed.version;
  appendQuotedNumber(card, "adminId", talk.onwerId);
  card += fixed.tail;
  card += "\"selects\":";
  appendQuotedArray(card, callees);
  card += ",\"initState\":";
  appendQuotedArray(card, initState);
  card += "},";
  card += tpl.parts.callLooks;
  appendCardCreator(card, owner);
  appendFieldLists(card, tpl.parts.rows, talk.addr, owner);
  card += "}";
  out = std::move(card);
  PROXY_LOG(plugin_, ct::kFnFill, "%s", ct::kLogFillEnd);
}

bool msgProxy::sendTempMsssage(int64_t target, std::string card, const std::vector<int64_t>& limit,
                               cardDelivery delivery) {
  PROXY_LOG(plugin_, ct::kFnSendTemp, ct::kLogTempMessage, logCut(card).c_str());
  hostPost post;
  post.target = target;
  post.msgType = kMsgTypeCard;
  post.body = std::move(card);
  post.limitRange = limit;
  post.insert = delivery == cardDelivery::kInsertThenSend;
  return postToHost(plugin_, std::move(post));
}

}  // namespace imsdkmrtc
