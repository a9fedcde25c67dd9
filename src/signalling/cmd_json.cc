// The signalling command record to and from its JSON body.
#include <cstring>

#include "plugin/json.h"
#include "plugin/log.h"
#include "plugin/mrtc_plugin.h"
#include "signalling/msg_proxy.h"
#include "signalling/wire_texts.h"
#include "tools.h"

namespace imsdkmrtc {

namespace {

using jsonWriter = json::Writer<json::StringBuffer>;

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

// The member value when present and not null, else nullptr.
const json::Value* member(const json::Value& object, const char* key) {
  auto it = object.FindMember(key);
  if (it == object.MemberEnd() || it->value.IsNull()) return nullptr;
  return &it->value;
}

// Copies a string member; values of other types are ignored.
void takeText(const json::Value& object, const char* key, std::string& field) {
  const json::Value* v = member(object, key);
  if (v != nullptr && v->IsString()) field.assign(v->GetString(), v->GetStringLength());
}

// A decimal-text member, stored only when the text is not empty.
bool takeDecimal(const json::Value& object, const char* key, int64_t& field) {
  const json::Value* v = member(object, key);
  if (v == nullptr || !v->IsString() || v->GetStringLength() == 0) return false;
  field = tools::atoint64(v->GetString());
  return true;
}

// Id arrays accept both decimal strings and integers; anything else is
// skipped.
void takeIds(const json::Value& object, const char* key, std::vector<int64_t>& ids) {
  const json::Value* v = member(object, key);
  if (v == nullptr || !v->IsArray()) return;
  ids.reserve(ids.size() + v->Size());
  for (const auto& e : v->GetArray()) {
    if (e.IsString()) {
      ids.push_back(tools::strToInt64(std::string(e.GetString(), e.GetStringLength())));
    } else if (e.IsInt64()) {
      ids.push_back(e.GetInt64());
    }
  }
}

}  // namespace

bool msgProxy::transCmd2Json(const mrtcCmd& cmd, std::string& out) const {
  json::StringBuffer buf;
  jsonWriter w(buf);
  w.StartObject();
  if (cmd.cmdCode != 0) {
    std::string name = codeToName(cmd.cmdCode);
    putKey(w, wire::kType);
    w.String(name.data(), static_cast<json::SizeType>(name.size()));
  }
  putText(w, wire::kAnnotation, cmd.annotation);
  putDecimal(w, wire::kSenderId, cmd.senderId);
  putDecimal(w, wire::kGroupId, cmd.groupId);
  putDecimal(w, wire::kOnwerId, cmd.onwerId);
  putText(w, wire::kRoomId, cmd.roomId);
  putText(w, wire::kRoomToken, cmd.roomToken);
  putText(w, wire::kOName, cmd.oName);
  putText(w, wire::kRoomName, cmd.roomName);
  putText(w, wire::kAddr, cmd.addr);
  putText(w, wire::kSrvVer, cmd.srvVer);
  putText(w, wire::kSrvTag, cmd.srvTag);
  putText(w, wire::kVideoType, cmd.videoType);
  putText(w, wire::kCmode, cmd.cmode);
  putDecimal(w, wire::kBeginTime, cmd.beginTime);
  putDecimal(w, wire::kDeviceType, cmd.deviceType);
  putText(w, wire::kVersion, cmd.version);
  putText(w, wire::kVideoStatus, cmd.VideoStatus);
  putText(w, wire::kExtend, cmd.extend);
  putText(w, wire::kRtcType, cmd.rtcType);
  putIds(w, wire::kSelects, cmd.selects);
  putIds(w, wire::kMembers, cmd.members);
  if (!cmd.memstates.empty()) {
    putKey(w, wire::kMemstates);
    w.StartArray();
    for (uint8_t state : cmd.memstates) w.Bool(state != 0);
    w.EndArray();
  }
  putIds(w, wire::kHismembers, cmd.hismembers);
  if (!cmd.initState.empty()) {
    putKey(w, wire::kInitState);
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
  json::Document doc;
  if (!parseText(doc, text) || !doc.IsObject()) return false;
  const json::Value& o = doc;

  if (const json::Value* type = member(o, wire::kType)) {
    if (type->IsString() && type->GetStringLength() > 0) {
      cmd.cmdCode = nameToCode(std::string(type->GetString(), type->GetStringLength()));
    }
  }
  if (cmd.cmdCode == kCmdMultiMFinish) cmd.rtcType = wire::kRtcMicro;

  takeText(o, wire::kAnnotation, cmd.annotation);
  takeDecimal(o, wire::kSenderId, cmd.senderId);
  takeDecimal(o, wire::kGroupId, cmd.groupId);
  takeDecimal(o, wire::kOnwerId, cmd.onwerId);
  takeText(o, wire::kOName, cmd.oName);
  takeText(o, wire::kRoomId, cmd.roomId);
  takeText(o, wire::kRoomToken, cmd.roomToken);
  takeText(o, wire::kRoomName, cmd.roomName);
  takeText(o, wire::kAddr, cmd.addr);

  // Unless the application allows it, a media address chosen by another
  // client is never used.
  bool addrAllowed = plugin_ == nullptr || plugin_->settings().addrSwitch.load() != 0;
  if (!addrAllowed && !cmd.addr.empty()) {
    MRTC_LOG(plugin_, 0, wire::kFnJson2Cmd, MRTC_FMT_ADDR_MARK, cmd.addr.c_str());
    cmd.addr.clear();
  }

  takeText(o, wire::kSrvVer, cmd.srvVer);
  takeText(o, wire::kSrvTag, cmd.srvTag);
  takeText(o, wire::kVideoType, cmd.videoType);
  takeText(o, wire::kCmode, cmd.cmode);
  takeDecimal(o, wire::kBeginTime, cmd.beginTime);
  int64_t deviceType = 0;
  if (takeDecimal(o, wire::kDeviceType, deviceType)) {
    cmd.deviceType = static_cast<int32_t>(deviceType);
  }
  takeText(o, wire::kVersion, cmd.version);
  takeText(o, wire::kExtend, cmd.extend);
  takeText(o, wire::kRtcType, cmd.rtcType);
  if (cmd.rtcType.empty()) cmd.rtcType = wire::kRtcDefault;

  // Only a media server may invite into an unbound conference.
  if (cmd.cmdCode == kCmdMultiInvite && cmd.rtcType == wire::kRtcUnbind &&
      cmd.deviceType != wire::kDeviceMediaServer) {
    if (plugin_ != nullptr) MRTC_LOG(plugin_, 0, wire::kFnJson2Cmd, MRTC_FMT_INVITE_RTC);
    cmd.rtcType = wire::kRtcDefault;
  }

  takeText(o, wire::kVideoStatus, cmd.VideoStatus);
  takeIds(o, wire::kSelects, cmd.selects);
  takeIds(o, wire::kMembers, cmd.members);
  if (const json::Value* states = member(o, wire::kMemstates)) {
    if (states->IsArray()) {
      for (const auto& e : states->GetArray()) cmd.memstates.push_back(e.IsTrue() ? 1 : 0);
    }
  }
  takeIds(o, wire::kHismembers, cmd.hismembers);
  if (const json::Value* init = member(o, wire::kInitState)) {
    if (init->IsArray()) {
      for (const auto& e : init->GetArray()) {
        if (e.IsString()) cmd.initState.emplace_back(e.GetString(), e.GetStringLength());
      }
    }
  }
  if (const json::Value* flag = member(o, wire::kFlag)) {
    if (flag->IsString() && std::strcmp(flag->GetString(), wire::kFlagRecall) == 0 &&
        flag->GetStringLength() == sizeof(wire::kFlagRecall) - 1) {
      cmd.recall = true;
    }
  }
  return true;
}

}  // namespace imsdkmrtc
