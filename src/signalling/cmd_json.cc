// The signalling command record to and from its JSON body.
#include <cstring>

#include "base/device_types.h"
#include "base/json.h"
#include "base/log.h"
#include "base/plugin_env.h"
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

// The keys the reader knows, as slots filled in one pass over the object.
enum keySlot {
  sType,
  sAnnotation,
  sSenderId,
  sGroupId,
  sOnwerId,
  sOName,
  sRoomId,
  sRoomToken,
  sRoomName,
  sAddr,
  sSrvVer,
  sSrvTag,
  sVideoType,
  sCmode,
  sBeginTime,
  sDeviceType,
  sVersion,
  sExtend,
  sRtcType,
  sVideoStatus,
  sSelects,
  sMembers,
  sMemstates,
  sHismembers,
  sInitState,
  sFlag,
  kSlotCount
};

struct keyName {
  const char* text;
  uint32_t length;
};

template <size_t N>
constexpr keyName kn(const char (&text)[N]) {
  return {text, static_cast<uint32_t>(N - 1)};
}

constexpr keyName kSlotNames[kSlotCount] = {
    kn(texts::wire::kType),       kn(texts::wire::kAnnotation),  kn(texts::kKeySenderId),
    kn(texts::kKeyGroupId),       kn(texts::wire::kOnwerId),     kn(texts::wire::kOName),
    kn(texts::kKeyRoomId),        kn(texts::wire::kRoomToken),   kn(texts::wire::kRoomName),
    kn(texts::wire::kAddr),       kn(texts::wire::kSrvVer),      kn(texts::wire::kSrvTag),
    kn(texts::wire::kVideoType),  kn(texts::wire::kCmode),       kn(texts::wire::kBeginTime),
    kn(texts::wire::kDeviceType), kn(texts::wire::kVersion),     kn(texts::wire::kExtend),
    kn(texts::wire::kRtcType),    kn(texts::wire::kVideoStatus), kn(texts::wire::kSelects),
    kn(texts::wire::kMembers),    kn(texts::wire::kMemstates),   kn(texts::wire::kHismembers),
    kn(texts::wire::kInitState),  kn(texts::wire::kFlag),
};

// Values by slot: the first member of each known key (as a member lookup
// finds it); a null value there reads as absent.
struct knownMembers {
  const json::Value* v[kSlotCount] = {};

  explicit knownMembers(const json::Value& object) {
    for (const auto& m : object.GetObject()) {
      const uint32_t len = m.name.GetStringLength();
      const char* name = m.name.GetString();
      for (int i = 0; i < kSlotCount; ++i) {
        if (kSlotNames[i].length == len && std::memcmp(kSlotNames[i].text, name, len) == 0) {
          if (v[i] == nullptr) v[i] = &m.value;
          break;
        }
      }
    }
  }
  const json::Value* operator[](keySlot slot) const {
    return v[slot] != nullptr && !v[slot]->IsNull() ? v[slot] : nullptr;
  }
};

// Copies a string value; values of other types are ignored.
void takeText(const json::Value* v, std::string& field) {
  if (v != nullptr && v->IsString()) field.assign(v->GetString(), v->GetStringLength());
}

// A decimal-text value, stored only when the text is not empty.
bool takeDecimal(const json::Value* v, int64_t& field) {
  if (v == nullptr || !v->IsString() || v->GetStringLength() == 0) return false;
  field = tools::atoint64(v->GetString());
  return true;
}

// Id arrays accept both decimal strings and integers; anything else is
// skipped.
void takeIds(const json::Value* v, std::vector<int64_t>& ids) {
  if (v == nullptr || !v->IsArray()) return;
  ids.reserve(ids.size() + v->Size());
  for (const auto& e : v->GetArray()) {
    if (e.IsString()) {
      ids.push_back(tools::atoint64(e.GetString()));
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
  json::Document doc;
  if (!parseText(doc, text) || !doc.IsObject()) return false;
  const knownMembers o(doc);

  if (const json::Value* type = o[sType]) {
    if (type->IsString() && type->GetStringLength() > 0) {
      cmd.cmdCode = nameToCode(std::string(type->GetString(), type->GetStringLength()));
    }
  }
  if (cmd.cmdCode == kCmdMultiMFinish) cmd.rtcType = texts::kMicroConfer;

  takeText(o[sAnnotation], cmd.annotation);
  takeDecimal(o[sSenderId], cmd.senderId);
  takeDecimal(o[sGroupId], cmd.groupId);
  takeDecimal(o[sOnwerId], cmd.onwerId);
  takeText(o[sOName], cmd.oName);
  takeText(o[sRoomId], cmd.roomId);
  takeText(o[sRoomToken], cmd.roomToken);
  takeText(o[sRoomName], cmd.roomName);
  takeText(o[sAddr], cmd.addr);

  // Unless the application allows it, a media address chosen by another
  // client is never used.
  bool addrAllowed = plugin_ == nullptr || plugin_->settings().addrSwitch.load() != 0;
  if (!addrAllowed && !cmd.addr.empty()) {
    MRTC_LOG(plugin_, 0, texts::wire::kFnJson2Cmd, texts::wire::kLogAddrMark, cmd.addr.c_str());
    cmd.addr.clear();
  }

  takeText(o[sSrvVer], cmd.srvVer);
  takeText(o[sSrvTag], cmd.srvTag);
  takeText(o[sVideoType], cmd.videoType);
  takeText(o[sCmode], cmd.cmode);
  takeDecimal(o[sBeginTime], cmd.beginTime);
  int64_t deviceType = 0;
  if (takeDecimal(o[sDeviceType], deviceType)) cmd.deviceType = static_cast<int32_t>(deviceType);
  takeText(o[sVersion], cmd.version);
  takeText(o[sExtend], cmd.extend);
  takeText(o[sRtcType], cmd.rtcType);
  if (cmd.rtcType.empty()) cmd.rtcType = texts::kRtc;

  // Only a media server may invite into an unbound conference.
  if (cmd.cmdCode == kCmdMultiInvite && cmd.rtcType == texts::kUnbindConfer &&
      cmd.deviceType != kDeviceMediaServer) {
    if (plugin_ != nullptr) {
      MRTC_LOG(plugin_, 0, texts::wire::kFnJson2Cmd, texts::wire::kLogInviteRtc);
    }
    cmd.rtcType = texts::kRtc;
  }

  takeText(o[sVideoStatus], cmd.VideoStatus);
  takeIds(o[sSelects], cmd.selects);
  takeIds(o[sMembers], cmd.members);
  if (const json::Value* states = o[sMemstates]) {
    if (states->IsArray()) {
      cmd.memstates.reserve(cmd.memstates.size() + states->Size());
      for (const auto& e : states->GetArray()) cmd.memstates.push_back(e.IsTrue() ? 1 : 0);
    }
  }
  takeIds(o[sHismembers], cmd.hismembers);
  if (const json::Value* init = o[sInitState]) {
    if (init->IsArray()) {
      cmd.initState.reserve(cmd.initState.size() + init->Size());
      for (const auto& e : init->GetArray()) {
        if (e.IsString()) cmd.initState.emplace_back(e.GetString(), e.GetStringLength());
      }
    }
  }
  if (const json::Value* flag = o[sFlag]) {
    if (flag->IsString() && flag->GetStringLength() == sizeof(texts::wire::kFlagRecall) - 1 &&
        std::memcmp(flag->GetString(), texts::wire::kFlagRecall,
                    sizeof(texts::wire::kFlagRecall) - 1) == 0) {
      cmd.recall = true;
    }
  }
  return true;
}

}  // namespace imsdkmrtc
