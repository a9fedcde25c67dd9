// Sending: the one road to the host's send and insert services, and one
// sender per signalling step.
#include <algorithm>
#include <map>
#include <utility>

#include "base/json.h"
#include "base/log.h"
#include "base/plugin_env.h"
#include "signalling/msg_proxy.h"
#include "signalling/msg_types.h"
#include "signalling/wire_texts.h"
#include "timer/timeout_record.h"
#include "tools.h"

namespace imsdkmrtc {

namespace {

// Replaces the closing brace of a finished body with tail.
void spliceTail(std::string& body, const char* tail) {
  if (!body.empty()) body.pop_back();
  body += tail;
}

// Fields every sender fills the same way.
mrtcCmd baseCommand(int32_t code, int64_t ownId, int8_t deviceType, const talkInfo& talk) {
  mrtcCmd cmd;
  cmd.cmdCode = code;
  cmd.senderId = ownId;
  cmd.version = texts::kProtocolVersion;
  cmd.deviceType = deviceType;
  cmd.groupId = talk.groupId;
  cmd.onwerId = talk.onwerId;
  return cmd;
}

// A call or invite: the room and its people as the talk has them, the
// callees or invitees as selects.
mrtcCmd ringCommand(int32_t code, int64_t ownId, int8_t deviceType, const talkInfo& talk,
                    const std::vector<int64_t>& selects,
                    const std::vector<std::string>& initState) {
  mrtcCmd cmd = baseCommand(code, ownId, deviceType, talk);
  cmd.oName = talk.oName;
  cmd.selects = selects;
  cmd.members = talk.members;
  cmd.roomId = talk.roomId;
  cmd.roomToken = talk.roomToken;
  cmd.roomName = talk.roomName;
  cmd.addr = talk.addr;
  cmd.beginTime = talk.beginTime;
  cmd.initState = initState;
  if (talk.single != 0) cmd.extend = texts::kExtendSingle;
  cmd.cmode = talk.conferMode;
  cmd.rtcType = talk.rtcType;
  cmd.srvVer = talk.srvVer;
  cmd.srvTag = talk.srvTag;
  return cmd;
}

}  // namespace

std::string msgProxy::redirectProperties(const std::string& properties, int64_t target) {
  std::map<std::string, std::string> values;
  jsonDocument doc;
  if (!properties.empty() && parseText(doc, properties) && doc.IsObject()) {
    for (const auto& m : doc.GetObject()) {
      std::string key(m.name.GetString(), m.name.GetStringLength());
      if (m.value.IsString()) {
        values[key] = toString(m.value);
      } else if (m.value.IsInt64()) {
        values[key] = tools::int64_To_Str(m.value.GetInt64());
      }
    }
  }
  values[texts::wire::kTargetIdKey] = tools::int64_To_Str(target);
  json::StringBuffer buf;
  json::Writer<json::StringBuffer> w(buf);
  w.StartObject();
  for (const auto& kv : values) {
    w.Key(kv.first.data(), static_cast<json::SizeType>(kv.first.size()));
    w.String(kv.second.data(), static_cast<json::SizeType>(kv.second.size()));
  }
  w.EndObject();
  return std::string(buf.GetString(), buf.GetSize());
}

bool msgProxy::sendMessage(int64_t tarId, int16_t type, std::string msg,
                           std::vector<int64_t> limitRange, const sendOptions& options) {
  const int32_t sendType = options.sendType;
  imsdk::IHostService* host = plugin_ != nullptr ? plugin_->host() : nullptr;
  if (host == nullptr) return false;
  imsdk::req_sendMessage record;
  record.senderId = plugin_->selfId();
  record.targetId = tarId;
  record.msgId = plugin_->nextSeq(seqStep::kAdvance);
  record.msgFlag = options.clearMsgFlag ? 0 : 1;
  record.msgType = static_cast<uint16_t>(type);
  record.body = std::move(msg);
  if ((options.useLimitRange || limitRangeOn_.load()) && !limitRange.empty()) {
    record.limitRange = std::move(limitRange);
  }

  if (sendType == kInsertOnly || sendType == kInsertThenSend) {
    imsdk::req_insertMessage local;
    local.msgId = record.msgId;
    local.senderId = record.senderId;
    local.targetId = record.targetId;
    local.msgType = record.msgType;
    local.body = record.body;
    local.msgFlag = 0;
    local.insertId = record.msgId;
    host->insertMessage(&local, local.size(), 0);
  }
  if (sendType == kSendOnly || sendType == kInsertThenSend) {
    if (options.allowRedirect && plugin_->settings().redirectOn.load() != 0 &&
        type == kMsgTypeAll && tarId != texts::wire::kServiceAccount) {
      record.properties = redirectProperties(record.properties, tarId);
      record.targetId = texts::wire::kServiceAccount;
    }
    if (!host->sendMessage(&record, record.size(), 0)) {
      MRTC_LOG(plugin_, 0, texts::wire::kFnSendMessage, texts::wire::kLogSendFail);
      return false;
    }
  }
  MRTC_LOG(plugin_, 0, texts::wire::kFnSendMessage, texts::wire::kLogSendSucc,
           static_cast<long long>(tarId), static_cast<int>(type), sendType,
           logCut(record.body).c_str());
  return true;
}

int64_t msgProxy::getTargetId(const talkInfo& talk, int64_t ownId) {
  if (!isP2P(talk.rtcType)) return talk.groupId;
  for (int64_t id : talk.members) {
    if (id != ownId) return id;
  }
  return 0;
}

std::vector<int64_t> msgProxy::callMembers(const mrtcCmd& request) {
  if (request.groupId <= 0) return {};
  std::vector<int64_t> list = request.selects;
  for (const auto& out : request.outMembers) removeId(list, out);
  return list;
}

void msgProxy::removeId(std::vector<int64_t>& list, const std::string& idText) {
  int64_t id = tools::strToInt64(idText);
  auto it = std::find(list.begin(), list.end(), id);
  if (it == list.end()) return;
  *it = list.back();
  list.pop_back();
}

// The recall entry is keyed by the talk's group and lists the callees it may
// ring again. A one-to-one talk has neither (group 0, no limit range), so its
// entry finds nobody to ring when it falls due and sends nothing: an
// unanswered one-to-one call ends by its ring and wait time-outs alone, and
// the peer never rings a second time.
void msgProxy::armRecall(const talkInfo& talk, const std::vector<int64_t>& list,
                         std::string recallText) {
  spliceTail(recallText, texts::wire::kRecallFlagTail);
  plugin_->addRecallTimeout(tools::int64_To_Str(talk.groupId), talk.roomId, list,
                            plugin_->settings().recallDuration.load(), kTimeoutRecallCategory,
                            recallText, tools::getLocalTime(), 1);
}

bool msgProxy::ringTexts(const mrtcCmd& cmd, std::string& text, std::string& recallText) const {
  if (!transCmd2Json(cmd, text)) return false;
  recallText = text;
  // The sent body announces repeated rings when they are configured.
  const pluginSettings& s = plugin_->settings();
  if (s.recallEnable.load() != 0 && s.recallCount.load() > 0 && s.recallDuration.load() > 0) {
    spliceTail(text, texts::wire::kRecallCountTail);
  }
  return true;
}

// The chat card that follows a call or invite message.
void msgProxy::postCallCard(const talkInfo& talk, const std::vector<int64_t>& callees,
                            const std::vector<std::string>& initState,
                            const std::vector<int64_t>& range, cardDelivery delivery) {
  std::string card;
  fillTempMessage(card, talk, callees, initState);
  sendTempMsssage(talk.groupId, std::move(card), range, delivery);
}

bool msgProxy::sendMsg_call(const std::vector<int64_t>& callees, const talkInfo& talk,
                            const mrtcCmd& request) {
  if (plugin_ == nullptr) return false;
  const bool p2p = isP2P(request.rtcType);
  int64_t target = 0;
  std::vector<int64_t> range;
  if (p2p) {
    if (callees.empty()) {
      MRTC_LOG(plugin_, 0, texts::wire::kFnSendCall, texts::wire::kLogCallNobody);
      return false;
    }
    target = callees.front();
  } else {
    range = callMembers(request);
    MRTC_LOG(plugin_, 0, texts::wire::kFnSendCall, texts::wire::kLogCallCount,
             static_cast<int>(range.size()));
    if (range.empty()) return true;
    target = talk.groupId;
  }

  const std::vector<std::string>& initState = request.initState;
  mrtcCmd cmd =
      ringCommand(kCmdMultiCall, plugin_->selfId(), ownDeviceType_, talk, callees, initState);
  cmd.videoType = talk.videoType;

  std::string text;
  std::string recallText;
  if (!ringTexts(cmd, text, recallText)) return false;

  // A group call only ever reaches the callees, whatever the limit setting.
  bool sent = sendMessage(target, kMsgTypeAll, std::move(text), range,
                          sendOptions().withLimitRange(!p2p).withRedirect());
  if (sent && plugin_->settings().recallEnable.load() != 0) {
    armRecall(talk, range, std::move(recallText));
  }
  if (sent && talk.single == 0 && !p2p) {
    postCallCard(talk, callees, initState, range, cardDelivery::kInsertThenSend);
  }
  return sent;
}

bool msgProxy::sendMsg_invite(const std::vector<int64_t>& invitees, const talkInfo& talk,
                              const mrtcCmd& request) {
  if (plugin_ == nullptr) return false;
  std::vector<int64_t> range = callMembers(request);
  MRTC_LOG(plugin_, 0, texts::wire::kFnSendInvite, texts::wire::kLogInviteCount,
           static_cast<int>(range.size()));
  if (range.empty()) return true;

  const std::vector<std::string>& initState = request.initState;
  mrtcCmd cmd =
      ringCommand(kCmdMultiInvite, plugin_->selfId(), ownDeviceType_, talk, invitees, initState);
  cmd.memstates = talk.memstates;
  cmd.hismembers = talk.hismembers;

  std::string text;
  std::string recallText;
  if (!ringTexts(cmd, text, recallText)) return false;

  bool sent = sendMessage(talk.groupId, kMsgTypeAll, std::move(text), talk.members, sendOptions());
  MRTC_LOG(plugin_, 0, texts::wire::kFnSendInvite, texts::wire::kLogInviteRet, sent ? 1 : 0);
  if (sent && plugin_->settings().recallEnable.load() != 0) {
    armRecall(talk, range, std::move(recallText));
  }
  if (sent && talk.single == 0) {
    postCallCard(talk, invitees, initState, range, cardDelivery::kSendOnly);
  }
  return sent;
}

bool msgProxy::sendMsg_intoroom(const std::string& annotation, const talkInfo& talk,
                                int32_t sendType) {
  if (plugin_ == nullptr) return false;
  const int64_t own = plugin_->selfId();
  mrtcCmd cmd = baseCommand(kCmdMultiIntoRoom, own, ownDeviceType_, talk);
  cmd.annotation = annotation;
  cmd.roomId = talk.roomId;
  cmd.roomName = talk.roomName;
  cmd.videoType = talk.videoType;
  cmd.rtcType = talk.rtcType;
  std::string text;
  if (!transCmd2Json(cmd, text)) return false;
  // One-to-one: every device of the peer (and our own) must follow; in a
  // group only the entering user's devices need to know.
  if (isP2P(talk.rtcType)) {
    return sendMessage(getTargetId(talk, own), kMsgTypeAll, std::move(text), {},
                       sendOptions().withClearedFlag().withLimitRange().withSendType(sendType));
  }
  return sendMessage(getTargetId(talk, own), kMsgTypeFew, std::move(text), {own},
                     sendOptions().withLimitRange().withSendType(sendType));
}

bool msgProxy::sendMsg_hungup(const std::string& annotation, const talkInfo& talk,
                              const std::string& extend, int16_t type, int32_t sendType) {
  if (plugin_ == nullptr) return false;
  const int64_t own = plugin_->selfId();
  mrtcCmd cmd = baseCommand(kCmdMultiHungup, own, ownDeviceType_, talk);
  cmd.annotation = annotation;
  cmd.extend = extend;
  cmd.roomId = talk.roomId;
  cmd.rtcType = talk.rtcType;
  cmd.videoType = talk.videoType;
  std::string text;
  if (!transCmd2Json(cmd, text)) return false;
  return sendMessage(getTargetId(talk, own), type, std::move(text), talk.members,
                     sendOptions().withSendType(sendType));
}

bool msgProxy::sendMsg_refuse(const std::string& annotation, const talkInfo& talk) {
  if (plugin_ == nullptr) return false;
  const int64_t own = plugin_->selfId();
  mrtcCmd cmd = baseCommand(kCmdMultiHungup, own, ownDeviceType_, talk);
  cmd.annotation = annotation;
  cmd.roomId = talk.roomId;
  std::string text;
  if (!transCmd2Json(cmd, text)) return false;
  std::vector<int64_t> range;
  if (talk.targetId > 0) range.push_back(talk.targetId);
  range.push_back(own);
  return sendMessage(talk.groupId, kMsgTypeFew, std::move(text), range,
                     sendOptions().withLimitRange());
}

bool msgProxy::sendMsg_querytalk(int64_t groupId, const std::string& roomId) {
  if (plugin_ == nullptr) return false;
  mrtcCmd cmd;
  cmd.cmdCode = kCmdMultiQueryTalk;
  cmd.senderId = plugin_->selfId();
  cmd.version = texts::kProtocolVersion;
  cmd.deviceType = ownDeviceType_;
  cmd.groupId = groupId;
  cmd.roomId = roomId;
  std::string text;
  if (!transCmd2Json(cmd, text)) return false;
  return sendMessage(groupId, kMsgTypeFew, std::move(text), {},
                     sendOptions().withRedirect(!roomId.empty()));
}

bool msgProxy::sendMsg_reply_querytalk(int64_t askerId, int64_t targetId, const talkInfo& talk) {
  if (plugin_ == nullptr) return false;
  mrtcCmd cmd = baseCommand(kCmdReplyQueryTalk, plugin_->selfId(), ownDeviceType_, talk);
  cmd.members = talk.members;
  cmd.memstates = talk.memstates;
  cmd.hismembers = talk.hismembers;
  cmd.roomId = talk.roomId;
  cmd.roomName = talk.roomName;
  std::string text;
  if (!transCmd2Json(cmd, text)) return false;
  return sendMessage(targetId, kMsgTypeFew, std::move(text), {askerId},
                     sendOptions().withLimitRange());
}

bool msgProxy::sendMsg_time(const talkInfo& talk) {
  if (plugin_ == nullptr) return false;
  const int64_t own = plugin_->selfId();
  mrtcCmd cmd = baseCommand(kCmdMultiTime, own, ownDeviceType_, talk);
  int64_t duration = talk.connectTime != 0 ? tools::getLocalTime() - talk.connectTime : 0;
  cmd.annotation = tools::int64_To_Str(duration);
  cmd.roomId = talk.roomId;
  cmd.rtcType = talk.rtcType;
  cmd.videoType = talk.videoType;
  std::string text;
  if (!transCmd2Json(cmd, text)) return false;
  // Only our own history shows how long the call lasted.
  return sendMessage(getTargetId(talk, own), kMsgTypeAll, std::move(text), {},
                     sendOptions().withSendType(kInsertOnly));
}

bool msgProxy::sendMsg_version(const talkInfo& talk, const std::string& extend) {
  if (plugin_ == nullptr) return false;
  mrtcCmd cmd = baseCommand(kCmdMultiVersion, plugin_->selfId(), ownDeviceType_, talk);
  cmd.annotation = texts::kFarVersionFail;
  cmd.extend = extend;
  cmd.members = talk.members;
  cmd.roomId = talk.roomId;
  std::string text;
  if (!transCmd2Json(cmd, text)) return false;
  return sendMessage(talk.groupId, kMsgTypeFew, std::move(text), {}, sendOptions());
}

bool msgProxy::sendMsg_reply(int64_t, int64_t, const std::string&, int32_t, const std::string&) {
  // Answers to single commands are not sent over the network.
  return true;
}

bool msgProxy::sendRecall(int64_t target, const std::string& text,
                          const std::vector<int64_t>& list) {
  // A repeated ring reaches only the callees still ringing.
  return sendMessage(target, kMsgTypeAll, text, list, sendOptions().withLimitRange());
}

}  // namespace imsdkmrtc
