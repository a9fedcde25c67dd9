// The signalling command record to and from its JSON body.
#include <cstring>
#include <utility>

#include "base/device_types.h"
#include "base/json.h"
#include "base/log.h"
#include "base/plugin_env.h"
#include "signalling/cmd_body.h"
#include "signalling/msg_proxy.h"
#include "signalling/wire_texts.h"
#include "tools.h"

namespace imsdkmrtc {

namespace {

using jsonWriter = json::Writer<json::StringBuffer>;

// Room for a command with a few long values from the start: the buffer grows
// by halves from RapidJSON's 256 bytes, which was half a dozen reallocations
// for a call that carries a token, an address and names.
constexpr size_t kCmdTextCapacity = 2048;

template <size_t N>
void putKey(jsonWriter& w, const char (&key)[N]) {
  w.Key(key, static_cast<json::SizeType>(N - 1));
}

template <size_t N>
void putText(jsonWriter& w, const char (&key)[N], const std::string& value) {
  if (value.empty()) return;
  putKey(w, key);
  w.String(value.data(), static_cast<json::SizeType>(value.size()));
}

// Ids and times travel as decimal strings in scalar keys.
template <size_t N>
void putDecimal(jsonWriter& w, const char (&key)[N], int64_t value) {
  if (value == 0) return;
  char buf[100] = {0};
  tools::int64toa(buf, value);
  putKey(w, key);
  w.String(buf, static_cast<json::SizeType>(std::strlen(buf)));
}

template <size_t N>
void putIds(jsonWriter& w, const char (&key)[N], const std::vector<int64_t>& ids) {
  if (ids.empty()) return;
  putKey(w, key);
  w.StartArray();
  for (int64_t id : ids) w.Int64(id);
  w.EndArray();
}

// Takes a text value over; values of other types are ignored.
void takeText(cmdBody& body, cmdBodyKey key, std::string& field) {
  if (body.hasText[key]) field = std::move(body.text[key]);
}

// A decimal-text value, stored only when the text is not empty.
bool takeDecimal(const cmdBody& body, cmdBodyKey key, int64_t& field) {
  const std::string* v = body.textOf(key);
  if (v == nullptr || v->empty()) return false;
  field = tools::atoint64(v->c_str());
  return true;
}

// An empty list takes the read ids over; any other gets them appended.
void takeIds(cmdBody& body, cmdBodyKey key, std::vector<int64_t>& ids) {
  if (!body.hasListOf(key)) return;
  std::vector<int64_t>& read = body.idsOf(key);
  if (ids.empty()) {
    ids.swap(read);
    return;
  }
  ids.reserve(ids.size() + read.size());
  ids.insert(ids.end(), read.begin(), read.end());
}

}  // namespace

bool msgProxy::transCmd2Json(const mrtcCmd& cmd, std::string& out) const {
  json::StringBuffer buf(nullptr, kCmdTextCapacity);
  jsonWriter w(buf);
  w.StartObject();
  if (cmd.cmdCode != 0) {
    std::string name = codeToName(cmd.cmdCode);
    putKey(w, texts::wire::kType);
    w.String(name.data(), static_cast<json::SizeType>(name.size()));
  }
  putText(w, texts::wire::kAnnotation, cmd.annotation);
  putDecimal(w, texts::kKeySenderId, cmd.senderId);
  putDecimal(w, texts::kKeyGroupId, cmd.groupId);
  putDecimal(w, texts::wire::kOnwerId, cmd.onwerId);
  putText(w, texts::kKeyRoomId, cmd.roomId);
  putText(w, texts::wire::kRoomToken, cmd.roomToken);
  putText(w, texts::wire::kOName, cmd.oName);
  putText(w, texts::wire::kRoomName, cmd.roomName);
  putText(w, texts::wire::kAddr, cmd.addr);
  putText(w, texts::wire::kSrvVer, cmd.srvVer);
  putText(w, texts::wire::kSrvTag, cmd.srvTag);
  putText(w, texts::wire::kVideoType, cmd.videoType);
  putText(w, texts::wire::kCmode, cmd.cmode);
  putDecimal(w, texts::wire::kBeginTime, cmd.beginTime);
  putDecimal(w, texts::wire::kDeviceType, cmd.deviceType);
  putText(w, texts::wire::kVersion, cmd.version);
  putText(w, texts::wire::kVideoStatus, cmd.VideoStatus);
  putText(w, texts::wire::kExtend, cmd.extend);
  putText(w, texts::wire::kRtcType, cmd.rtcType);
  putIds(w, texts::wire::kSelects, cmd.selects);
  putIds(w, texts::wire::kMembers, cmd.members);
  if (!cmd.memstates.empty()) {
    putKey(w, texts::wire::kMemstates);
    w.StartArray();
    for (uint8_t state : cmd.memstates) w.Bool(state != 0);
    w.EndArray();
  }
  putIds(w, texts::wire::kHismembers, cmd.hismembers);
  if (!cmd.initState.empty()) {
    putKey(w, texts::wire::kInitState);
    w.StartArray();
    for (const auto& entry : cmd.initState) {
      w.String(entry.data(), static_cast<json::SizeType>(entry.size()));
    }
    w.EndArray();
  }
  w.EndObject();
  out.assign(buf.GetString(), buf.GetSize());
  return true;
}

bool msgProxy::transJson2Cmd(const std::string& text, mrtcCmd& cmd) const {
  if (text.empty()) return false;
  cmdBody o;
  if (!readCmdBody(text, o)) return false;

  if (const std::string* type = o.textOf(kBodyType)) {
    if (!type->empty()) cmd.cmdCode = nameToCode(*type);
  }
  if (cmd.cmdCode == kCmdMultiMFinish) cmd.rtcType = texts::kMicroConfer;

  takeText(o, kBodyAnnotation, cmd.annotation);
  takeDecimal(o, kBodySenderId, cmd.senderId);
  takeDecimal(o, kBodyGroupId, cmd.groupId);
  takeDecimal(o, kBodyOnwerId, cmd.onwerId);
  takeText(o, kBodyOName, cmd.oName);
  takeText(o, kBodyRoomId, cmd.roomId);
  takeText(o, kBodyRoomToken, cmd.roomToken);
  takeText(o, kBodyRoomName, cmd.roomName);
  takeText(o, kBodyAddr, cmd.addr);

  // Unless the application allows it, a media address chosen by another
  // client is never used.
  bool addrAllowed = plugin_ == nullptr || plugin_->settings().addrSwitch.load() != 0;
  if (!addrAllowed && !cmd.addr.empty()) {
    MRTC_LOG(plugin_, 0, texts::wire::kFnJson2Cmd, texts::wire::kLogAddrMark, cmd.addr.c_str());
    cmd.addr.clear();
  }

  takeText(o, kBodySrvVer, cmd.srvVer);
  takeText(o, kBodySrvTag, cmd.srvTag);
  takeText(o, kBodyVideoType, cmd.videoType);
  takeText(o, kBodyCmode, cmd.cmode);
  takeDecimal(o, kBodyBeginTime, cmd.beginTime);
  int64_t deviceType = 0;
  if (takeDecimal(o, kBodyDeviceType, deviceType)) {
    cmd.deviceType = static_cast<int32_t>(deviceType);
  }
  takeText(o, kBodyVersion, cmd.version);
  takeText(o, kBodyExtend, cmd.extend);
  takeText(o, kBodyRtcType, cmd.rtcType);
  if (cmd.rtcType.empty()) cmd.rtcType = texts::kRtc;

  // Only a media server may invite into an unbound conference.
  if (cmd.cmdCode == kCmdMultiInvite && cmd.rtcType == texts::kUnbindConfer &&
      cmd.deviceType != kDeviceMediaServer) {
    if (plugin_ != nullptr) {
      MRTC_LOG(plugin_, 0, texts::wire::kFnJson2Cmd, texts::wire::kLogInviteRtc);
    }
    cmd.rtcType = texts::kRtc;
  }

  takeText(o, kBodyVideoStatus, cmd.VideoStatus);
  takeIds(o, kBodySelects, cmd.selects);
  takeIds(o, kBodyMembers, cmd.members);
  if (o.hasListOf(kBodyMemstates)) {
    cmd.memstates.insert(cmd.memstates.end(), o.memstates.begin(), o.memstates.end());
  }
  takeIds(o, kBodyHismembers, cmd.hismembers);
  if (o.hasListOf(kBodyInitState)) {
    cmd.initState.reserve(cmd.initState.size() + o.initState.size());
    for (std::string& entry : o.initState) cmd.initState.push_back(std::move(entry));
  }
  const std::string* flag = o.textOf(kBodyFlag);
  if (flag != nullptr && *flag == texts::wire::kFlagRecall) cmd.recall = true;
  return true;
}

}  // namespace imsdkmrtc
