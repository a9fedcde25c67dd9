// UI events posted to the application, the extension texts they carry and
// the one-to-one annotation words reported for received messages.
#include <string>
#include <utility>

#include "base/json_escape.h"
#include "base/log.h"
#include "base/ui_event_types.h"
#include "notify/handler_env.h"
#include "notify/notify_texts.h"
#include "notify/plugin_notify.h"
#include "signalling/wire_texts.h"

namespace imsdkmrtc {

namespace {

// A type 1 event logs at most this many member ids.
constexpr size_t kLoggedCallMembers = 50;
// Longer extend texts are not logged.
constexpr size_t kLoggedExtendLimit = 512;
// The host reads the envelope as an 8-byte block.
constexpr int32_t kEventBlockLen = 8;

void appendQuoted(std::string& out, const char* key, const std::string& value) {
  out += ",\"";
  out += key;
  out += "\":\"";
  appendJsonEscaped(out, value);
  out += '"';
}

// Every field of the event but its extend text.
void fillEventFromCmd(imsdk::resp_mrtcEvent& record, uint8_t type, const mrtcCmd& cmd) {
  record.eventType = type;
  record.annotation = cmd.annotation;
  record.senderId = cmd.senderId;
  record.selects = cmd.selects;
  record.groupId = cmd.groupId;
  record.onwerId = cmd.onwerId;
  record.roomId = cmd.roomId;
  record.roomName = cmd.roomName;
  record.members = cmd.members;
}

}  // namespace

bool pluginNotify::pushUIEvent(imsdk::resp_mrtcEvent* record) {
  imsdk::IHostService* host = plugin_->host();
  if (host == nullptr || record == nullptr) {
    plugin_->releaseCmd(imsdk::kCmdUiEvent, record, 0);
    return false;
  }
  imsdk::cmdEnvelope block;
  block.record = record;
  block.word = imsdk::kEnvelopeWordEvent;
  // The record may be gone once posted: keep what the log lines need.
  const uint8_t type = record->eventType;
  const std::string annotation = record->annotation;
  std::string memberText;
  size_t memberCount = record->members.size();
  if (type == kEventCall) {
    for (size_t i = 0; i < memberCount && i < kLoggedCallMembers; ++i) {
      memberText += std::to_string(record->members[i]);
      memberText += ",";
    }
  }
  // Accepted, the record is the host's; refused, it is still ours.
  int32_t ret = host->postToApp(imsdk::kCmdUiEvent, &block, kEventBlockLen, 0);
  if (ret != 0) plugin_->releaseCmd(imsdk::kCmdUiEvent, record, 0);
  MRTC_LOG(plugin_, 0, texts::notify::kFnPushUi, texts::notify::kLogUiSent, type,
           annotation.c_str(), ret);
  if (type == kEventCall) {
    MRTC_LOG(plugin_, 0, texts::notify::kFnPushUi, texts::notify::kLogUiCallCount,
             static_cast<int>(memberCount));
    MRTC_LOG(plugin_, 0, texts::notify::kFnPushUi, texts::notify::kLogUiCallMembers,
             memberText.c_str());
  }
  return ret == 0;
}

bool pluginNotify::pushCmdEvent(uint8_t type, const mrtcCmd& cmd) {
  auto* record = dynamic_cast<imsdk::resp_mrtcEvent*>(
      plugin_->createCmd(imsdk::kCmdUiEvent, cmdRecord::kResponse));
  if (record == nullptr) return true;
  fillEventFromCmd(*record, type, cmd);
  record->extend = cmd.extend;
  pushUIEvent(record);
  return true;
}

bool pluginNotify::pushTextEvent(uint8_t type, std::string text) {
  // The event of a command with nothing but the text, which (a whole card,
  // at times) is moved into the record: a caller done with its text hands
  // it over uncopied.
  static const mrtcCmd kNoCommand;
  auto* record = dynamic_cast<imsdk::resp_mrtcEvent*>(
      plugin_->createCmd(imsdk::kCmdUiEvent, cmdRecord::kResponse));
  if (record == nullptr) return true;
  fillEventFromCmd(*record, type, kNoCommand);
  record->extend = std::move(text);
  pushUIEvent(record);
  return true;
}

std::string pluginNotify::deviceFragment(int32_t deviceType, fragmentForm form) const {
  std::string out = "\"peer_devtype\":\"" + plugin_->deviceTypeName(deviceType) + "\"";
  return form == fragmentForm::kObject ? "{" + out + "}" : out;
}

std::string pluginNotify::buildEventExtend(const std::string& rtcType, const std::string& addr,
                                           bool single, int32_t peerDeviceType,
                                           const std::string& conferMode,
                                           const std::string& roomToken,
                                           const std::vector<std::string>& initState,
                                           const std::string& srvVer, const std::string& srvTag) {
  // Written by hand in a fixed order: the application reads these texts as
  // they always were. Values are escaped, so a quote in a token cannot end
  // its string early.
  std::string out = single ? "{\"mode\":\"single\"," : "{\"mode\":\"normal\",";
  out += deviceFragment(peerDeviceType, fragmentForm::kMember);
  if (!rtcType.empty()) appendQuoted(out, texts::wire::kRtcType, rtcType);
  if (!addr.empty()) appendQuoted(out, texts::wire::kAddr, addr);
  if (!srvVer.empty()) appendQuoted(out, texts::wire::kSrvVer, srvVer);
  if (!srvTag.empty()) appendQuoted(out, texts::wire::kSrvTag, srvTag);
  if (!roomToken.empty()) appendQuoted(out, texts::wire::kRoomToken, roomToken);
  appendQuoted(out, texts::wire::kConferMode, conferMode);
  if (!initState.empty()) {
    out += ",\"initState\":[";
    for (size_t i = 0; i < initState.size(); ++i) {
      out += i > 0 ? ",\"" : "\"";
      appendJsonEscaped(out, initState[i]);
      out += '"';
    }
    out += "]";
  }
  out += "}";
  MRTC_LOG(plugin_, 0, texts::notify::kFnExtend, texts::notify::kLogExtendCount,
           static_cast<int>(initState.size()));
  if (out.size() < kLoggedExtendLimit) {
    MRTC_LOG(plugin_, 0, texts::notify::kFnExtend, texts::notify::kLogExtendJson, out.c_str());
  }
  return out;
}

bool pluginNotify::mapP2pAnnotation(mrtcCmd& cmd, std::string& body) {
  if (cmd.rtcType == texts::kMicroConfer && cmd.cmdCode != kCmdMultiMFinish) return true;
  if (plugin_->settings().p2pSwitch.load() == 0 || cmd.rtcType != texts::kP2pConfer) return false;
  const int64_t self = plugin_->selfId();
  const bool senderIsSelf = cmd.senderId == self;
  const bool otherDevice = isOtherDevice(cmd, self);
  auto rewrite = [&](const std::string& word) {
    cmd.annotation = word;
    std::string text;
    if (plugin_->proxy().transCmd2Json(cmd, text)) body = text;
  };
  const std::string word = cmd.annotation;
  if (word == texts::kCancelCallTimeout || word == texts::kCancelUiClick) {
    if (senderIsSelf) return false;
    rewrite(texts::notify::kPeerPrefix + word);
    return true;
  }
  if (word == texts::notify::kBusyInRtc || word == texts::notify::kBusyInTel ||
      word == texts::kRefuse) {
    if (otherDevice) rewrite(texts::notify::kOtherPrefix + word);
    if (senderIsSelf) return true;
    rewrite(texts::notify::kPeerPrefix + word);
    return true;
  }
  if (word == texts::kAccept) {
    if (!otherDevice) return false;
    rewrite(texts::notify::kOtherAccept);
    return true;
  }
  return false;
}

// A client never receives its own sends back, so a message of this user was
// sent by another device, whatever device type it names: every instance of
// this plug-in names "pc", and so do both of a user's computers.
bool pluginNotify::isOtherDevice(const mrtcCmd& cmd, int64_t selfId) const {
  return cmd.senderId == selfId;
}

}  // namespace imsdkmrtc
