#include "signalling/card_build.h"

#include <utility>

#include "base/json_escape.h"
#include "signalling/card_texts.h"
#include "signalling/wire_texts.h"
#include "tools.h"

namespace imsdkmrtc {

std::string userNameOf(const pluginEnv* plugin, int64_t userId) {
  if (plugin == nullptr) return std::string();
  imsdk::IHostService* host = plugin->host();
  if (host == nullptr) return std::string();
  imsdk::userInfo info;
  if (!host->getUserInfo(&info, userId)) return std::string();
  return info.name;
}

void appendQuotedArray(std::string& out, const std::vector<std::string>& texts) {
  out += '[';
  for (size_t i = 0; i < texts.size(); ++i) {
    if (i > 0) out += ',';
    out += '"';
    appendJsonEscaped(out, texts[i]);
    out += '"';
  }
  out += ']';
}

namespace {

// Room for any int64_t in decimal, its sign and the terminating NUL.
constexpr size_t kNumberChars = 24;
// The end of a field list's entry, after its value.
constexpr char kFieldClose[] = "\"}";

// Appends value in decimal; digits and a minus sign need no escaping.
void appendNumber(std::string& out, int64_t value) {
  char digits[kNumberChars];
  out += tools::int64toa(digits, value);
}

}  // namespace

void appendQuotedArray(std::string& out, const std::vector<int64_t>& ids) {
  out += '[';
  for (size_t i = 0; i < ids.size(); ++i) {
    if (i > 0) out += ',';
    out += '"';
    appendNumber(out, ids[i]);
    out += '"';
  }
  out += ']';
}

namespace {

// The fields an inserted and a sent card or hint share, but its texts.
void fillRecord(imsdk::req_sendMessage& record, int64_t selfId, int64_t msgId,
                const hostPost& post) {
  record.senderId = selfId;
  record.targetId = post.target;
  record.msgId = msgId;
  record.msgType = post.msgType;
  record.msgFlag = 1;
}

}  // namespace

bool postToHost(pluginEnv* plugin, hostPost post) {
  if (plugin == nullptr) return false;
  imsdk::IHostService* host = plugin->host();
  if (host == nullptr) return false;
  int64_t selfId = host->getOwnUserId();
  int64_t msgId = plugin->nextSeq(seqStep::kAdvance);
  if (post.insert) {
    imsdk::req_insertMessage record;
    fillRecord(record, selfId, msgId, post);
    record.body = post.body;
    record.properties = post.properties;
    host->insertMessage(&record, record.size(), 0);
  }
  if (!post.send) return true;
  imsdk::req_sendMessage record;
  fillRecord(record, selfId, msgId, post);
  record.body = std::move(post.body);
  record.properties = std::move(post.properties);
  record.limitRange = std::move(post.limitRange);
  return host->sendMessage(&record, record.size(), 0);
}

void appendQuotedPair(std::string& out, const char* key, std::string_view value) {
  out += '"';
  out += key;
  out += "\":\"";
  appendJsonEscaped(out, value);
  out += "\",";
}

void appendQuotedNumber(std::string& out, const char* key, int64_t value) {
  out += '"';
  out += key;
  out += "\":\"";
  appendNumber(out, value);
  out += "\",";
}

void appendFieldOpen(std::string& out, std::string_view name) {
  out += "{\"";
  appendJsonEscaped(out, name);
  out += "\":\"";
}

void appendField(std::string& out, std::string_view name, std::string_view value) {
  appendFieldOpen(out, name);
  appendJsonEscaped(out, value);
  out += kFieldClose;
}

void appendFieldLists(std::string& out, const std::vector<renderedRow>& rows,
                      const std::string& addr, const std::string& ownerName) {
  const serverLabel* server = msgProxy::serverLabelOf(addr);
  // The names go straight into out; the English names wait in their own
  // buffer for the second list.
  out += "\"fields\":[";
  std::string fieldsEng;
  bool first = true;
  auto separate = [&] {
    if (!first) {
      out += ',';
      fieldsEng += ',';
    }
    first = false;
  };
  for (const renderedRow& row : rows) {
    if (row.show == rowShow::kWithServer && server == nullptr) continue;
    separate();
    out += row.field;
    fieldsEng += row.fieldEng;
    if (row.show == rowShow::kOriginator) {
      // The labels are the application's texts: keys escaped like values.
      appendJsonEscaped(out, ownerName);
      out += kFieldClose;
      appendJsonEscaped(fieldsEng, ownerName);
      fieldsEng += kFieldClose;
    }
  }
  if (server != nullptr) {
    separate();
    appendField(out, texts::card::kNameServer, server->label);
    appendField(fieldsEng, texts::card::kNameEngServer, server->label);
  }
  out += "],\"fields_eng\":[";
  out += fieldsEng;
  out += ']';
}

void appendCardHead(std::string& out, std::string_view content, std::string_view detailUrl) {
  out += '{';
  appendQuotedPair(out, "content", content);
  out += "\"createTime\":0,";
  appendQuotedPair(out, "detailUrl", detailUrl);
}

void appendCardTitleBar(std::string& out, const cardLooks& looks, std::string_view creator) {
  appendCardLooks(out, looks);
  appendCardCreator(out, creator);
}

void appendCardLooks(std::string& out, const cardLooks& looks) {
  constexpr std::string_view kEmpty;
  appendQuotedPair(out, "title", looks.title);
  appendQuotedPair(out, "title_eng", looks.titleEng);
  appendQuotedPair(out, "toUsers", kEmpty);
  appendQuotedPair(out, "status", kEmpty);
  appendQuotedPair(out, "statusColor", kEmpty);
  appendQuotedPair(out, "titleColor", looks.titleColor);
  appendQuotedPair(out, texts::wire::kType, looks.type);
  appendQuotedPair(out, "titleBgColor", looks.titleBgColor);
}

void appendCardCreator(std::string& out, std::string_view creator) {
  appendQuotedPair(out, "creator", creator);
}

}  // namespace imsdkmrtc
