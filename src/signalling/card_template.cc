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
  return tpl;
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

namespace {

bool appendServerRow(std::vector<tempField>& rows, const std::string& addr) {
  if (addr.empty()) return false;
  for (const serverLabel& entry : msgProxy::serverLabels()) {
    if (addr.find(entry.prefix) != std::string::npos) {
      rows.push_back(makeRow(texts::wire::kAddr, ct::kNameServer, entry.label, ct::kNameEngServer,
                             entry.label));
      return true;
    }
  }
  return false;
}

constexpr size_t kCallCardCapacity = 4096;

// {"name":"value"}, both escaped.
void appendField(std::string& out, const std::string& name, const std::string& value) {
  out += "{\"";
  appendJsonEscaped(out, name);
  out += "\":\"";
  appendJsonEscaped(out, value);
  out += "\"}";
}

}  // namespace

bool msgProxy::addServerLabel(std::vector<tempField>& rows, const std::string& addr) const {
  return appendServerRow(rows, addr);
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

void appendFieldLists(std::string& out, const std::vector<tempField>& templateRows,
                      const std::string& addr, const std::string& ownerName) {
  // The template's rows stay where they are; only the server's row is new.
  std::vector<tempField> serverRow;
  const bool matched = appendServerRow(serverRow, addr);
  std::string version;
  // The names go straight into out; the English names wait in their own
  // buffer for the second list.
  out += "\"fields\":[";
  std::string fieldsEng;
  bool first = true;
  auto add = [&](const tempField& row) {
    if (row.keyType == 0) return;
    if (row.key == texts::wire::kVersion && !matched) return;
    const std::string* value = &row.value;
    const std::string* valueEng = &row.value_eng;
    if (row.key == ct::kKeyOriginator) {
      value = valueEng = &ownerName;
    } else if (row.key == texts::wire::kVersion) {
      version = versionLabel();
      value = valueEng = &version;
    }
    if (!first) {
      out += ',';
      fieldsEng += ',';
    }
    first = false;
    // The labels are the application's texts: keys escaped like values.
    appendField(out, row.name, *value);
    appendField(fieldsEng, row.name_eng, *valueEng);
  };
  for (const tempField& row : templateRows) add(row);
  for (const tempField& row : serverRow) add(row);
  out += "],\"fields_eng\":[";
  out += fieldsEng;
  out += ']';
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
  appendCardHead(card, tpl.content, tpl.mcallingUpdateUrl);
  card += "\"extendInfo\":{\"subType\":14,";
  appendQuotedPair(card, texts::wire::kRtcType, talk.rtcType);
  appendQuotedPair(card, texts::card::kKeyRoomIdCard, talk.roomId);
  appendQuotedPair(card, texts::wire::kOnwerId, tools::int64_To_Str(talk.onwerId));
  appendQuotedPair(card, texts::kKeyGroupId, tools::int64_To_Str(talk.groupId));
  appendQuotedPair(card, texts::kKeySenderId, tools::int64_To_Str(selfId));
  if (!owner.empty()) appendQuotedPair(card, texts::wire::kOName, base64Encode(owner));
  appendQuotedPair(card, texts::wire::kRoomName, talk.roomName);
  if (!talk.roomToken.empty()) appendQuotedPair(card, texts::wire::kRoomToken, talk.roomToken);
  if (!talk.addr.empty()) appendQuotedPair(card, texts::wire::kAddr, talk.addr);
  if (!talk.srvVer.empty()) appendQuotedPair(card, texts::wire::kSrvVer, talk.srvVer);
  if (!talk.srvTag.empty()) appendQuotedPair(card, texts::wire::kSrvTag, talk.srvTag);
  appendQuotedPair(card, texts::wire::kConferMode, talk.conferMode);
  appendQuotedPair(card, texts::card::kKeySingleRead,
                   talk.single != 0 ? "on" : texts::card::kSwitchOff);
  appendQuotedPair(card, texts::wire::kBeginTime, tools::int64_To_Str(talk.beginTime));
  appendQuotedPair(card, texts::wire::kVersion, kProtocolVersion);
  appendQuotedPair(card, "adminId", tools::int64_To_Str(talk.onwerId));
  appendQuotedPair(card, texts::card::kKeyStartTime, "0");
  appendQuotedPair(card, texts::card::kKeyStopTime, "0");
  appendQuotedPair(card, texts::kKeyMode, texts::card::kModeMcalling);
  appendQuotedPair(card, texts::card::kKeyDesc, texts::card::kKeyRemark);
  card += "\"selects\":";
  appendQuotedArray(card, callees);
  card += ",\"initState\":";
  appendQuotedArray(card, initState);
  card += "},";
  appendCardTitleBar(
      card, {tpl.title, tpl.title_eng, tpl.titleColor, texts::kRtc, tpl.titleBgColor}, owner);
  appendFieldLists(card, tpl.rows, talk.addr, owner);
  card += "}";
  out = std::move(card);
  PROXY_LOG(plugin_, ct::kFnFill, "%s", ct::kLogFillEnd);
}

bool msgProxy::sendTempMsssage(int64_t target, const std::string& card,
                               const std::vector<int64_t>& limit, cardDelivery delivery) {
  PROXY_LOG(plugin_, ct::kFnSendTemp, ct::kLogTempMessage, logCut(card).c_str());
  hostPost post;
  post.target = target;
  post.msgType = kMsgTypeCard;
  post.body = card;
  post.limitRange = limit;
  post.insert = delivery == cardDelivery::kInsertThenSend;
  return postToHost(plugin_, post);
}

}  // namespace imsdkmrtc
