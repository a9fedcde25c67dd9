#include "signalling/card_build.h"

#include "base/json_escape.h"
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

void appendQuotedArray(std::string& out, const std::vector<int64_t>& ids) {
  out += '[';
  for (size_t i = 0; i < ids.size(); ++i) {
    if (i > 0) out += ',';
    out += '"';
    appendJsonEscaped(out, tools::int64_To_Str(ids[i]));
    out += '"';
  }
  out += ']';
}

namespace {

// The fields an inserted and a sent card or hint share.
void fillRecord(imsdk::req_sendMessage& record, int64_t selfId, int64_t msgId,
                const hostPost& post) {
  record.senderId = selfId;
  record.targetId = post.target;
  record.msgId = msgId;
  record.msgType = post.msgType;
  record.msgFlag = 1;
  record.body = post.body;
  record.properties = post.properties;
}

}  // namespace

bool postToHost(pluginEnv* plugin, const hostPost& post) {
  if (plugin == nullptr) return false;
  imsdk::IHostService* host = plugin->host();
  if (host == nullptr) return false;
  int64_t selfId = host->getOwnUserId();
  int64_t msgId = plugin->nextSeq(seqStep::kAdvance);
  if (post.insert) {
    imsdk::req_insertMessage record;
    fillRecord(record, selfId, msgId, post);
    host->insertMessage(&record, record.size(), 0);
  }
  if (!post.send) return true;
  imsdk::req_sendMessage record;
  fillRecord(record, selfId, msgId, post);
  record.limitRange = post.limitRange;
  return host->sendMessage(&record, record.size(), 0);
}

void appendQuotedPair(std::string& out, const char* key, std::string_view value) {
  out += '"';
  out += key;
  out += "\":\"";
  appendJsonEscaped(out, value);
  out += "\",";
}

void appendCardHead(std::string& out, std::string_view content, std::string_view detailUrl) {
  out += '{';
  appendQuotedPair(out, "content", content);
  out += "\"createTime\":0,";
  appendQuotedPair(out, "detailUrl", detailUrl);
}

void appendCardTitleBar(std::string& out, const cardLooks& looks, std::string_view creator) {
  constexpr std::string_view kEmpty;
  appendQuotedPair(out, "title", looks.title);
  appendQuotedPair(out, "title_eng", looks.titleEng);
  appendQuotedPair(out, "toUsers", kEmpty);
  appendQuotedPair(out, "status", kEmpty);
  appendQuotedPair(out, "statusColor", kEmpty);
  appendQuotedPair(out, "titleColor", looks.titleColor);
  appendQuotedPair(out, texts::wire::kType, looks.type);
  appendQuotedPair(out, "titleBgColor", looks.titleBgColor);
  appendQuotedPair(out, "creator", creator);
}

}  // namespace imsdkmrtc
