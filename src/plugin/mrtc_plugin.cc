#include "plugin/mrtc_plugin.h"

#include <string_view>
#include <utility>

#include "base/device_types.h"
#include "base/wire_words.h"
#include "notify/plugin_notify.h"
#include "requests/plugin_net.h"
#include "requests/plugin_request.h"
#include "timer/plugin_other.h"
#include "timer/timeout_record.h"
#include "tools.h"

namespace imsdkmrtc {

namespace {

// Slots 3 and 7 accept 24000..24998; the unsigned 16-bit difference also
// rejects ids below the range.
bool inRequestRange(uint16_t cmdId) {
  return static_cast<uint16_t>(cmdId - imsdk::kCmdRangeFirst) <=
         imsdk::kCmdRangeLast - imsdk::kCmdRangeFirst;
}

constexpr int32_t kStampValue = 1638358464;

}  // namespace

mrtc_plugin::mrtc_plugin(uint8_t ownDeviceType) {
  // Owned handlers: a failure part-way destroys what was built, in reverse.
  try {
    net_ = new pluginNet(this);
    notify_ = new pluginNotify(this);
    // The timer knows nothing above it: due records reach the time-out
    // handlers through this callback.
    other_ = new pluginOther(
        this, [this](const timeoutRecord& record) { notify_->onTimeoutDispatch(record); });
    request_ = new pluginRequest(this);
  } catch (...) {
    delete request_;
    delete other_;
    delete notify_;
    delete net_;
    throw;
  }
  ownDeviceType_ = ownDeviceType;
  seq_.store((tools::getLocalTime() - 100000) * 10);
  // A hint this client posts passes its own hint handler first, which may
  // hide it.
  proxy_.init(this, static_cast<int8_t>(ownDeviceType_),
              [this](const std::string& body, const std::string& properties) {
                return notify_->onWeakHintNotify(body, properties);
              });
  store_.setPlugin(this);
  board_.setProxy(&proxy_);
  slb_.setPlugin(this);
}

mrtc_plugin::~mrtc_plugin() {
  delete net_;
  delete notify_;
  delete other_;
  delete request_;
}

void mrtc_plugin::setHost(imsdk::IHostService* host) { host_.store(host); }

bool mrtc_plugin::onRequest(uint16_t cmdId, uintptr_t payload, void* present) {
  if (host() == nullptr || !inRequestRange(cmdId)) return false;
  request_->transCmdToNet(cmdId, payload, present);
  return true;
}

int32_t mrtc_plugin::onNotify(uint16_t type, uintptr_t a, uintptr_t) {
  if (type != imsdk::kNotifyMessage || a == 0) return 0;
  return notify_->onNotify(type, *reinterpret_cast<imsdk::hostMessage*>(a)) ? 1 : 0;
}

bool mrtc_plugin::onNetRequest(uint16_t cmdId, uintptr_t a, uintptr_t b) {
  if (host() == nullptr || !inRequestRange(cmdId)) return false;
  net_->onNetRequest(cmdId, a, b);
  return true;
}

imsdk::_sdkcmd_base* mrtc_plugin::cloneCmd(uint16_t cmdId, const imsdk::_sdkcmd_base* source,
                                           uintptr_t) {
  return factory_.clone(cmdId, source);
}

imsdk::_sdkcmd_base* mrtc_plugin::createCmd(uint16_t cmdId, bool isRequest) {
  return factory_.create(cmdId, isRequest ? cmdRecord::kRequest : cmdRecord::kResponse);
}

imsdk::_sdkcmd_base* mrtc_plugin::createCmd(uint16_t cmdId, cmdRecord record) {
  return factory_.create(cmdId, record);
}

void mrtc_plugin::releaseCmd(uint16_t, imsdk::_sdkcmd_base* record, uintptr_t) {
  factory_.release(record);
}

int32_t* mrtc_plugin::getStamp(int32_t* slot) {
  if (slot != nullptr) *slot = kStampValue;
  return slot;
}

int64_t mrtc_plugin::selfId() const {
  imsdk::IHostService* h = host();
  return h != nullptr ? h->getOwnUserId() : 0;
}

int64_t mrtc_plugin::nextSeq(seqStep step) {
  if (step == seqStep::kPeek) return seq_.load();
  return seq_.fetch_add(1) + 1;
}

// Six constant rows: scanned in place rather than copied into a map by
// every plug-in.
std::string mrtc_plugin::deviceTypeName(int32_t deviceType) const {
  for (const deviceTypeRow& d : kDeviceTypeNames) {
    if (d.type == deviceType) return d.name;
  }
  return "unknow";
}

bool mrtc_plugin::callsEnabled() const {
  return ownDeviceType_ == 1 ? settings_.pcOnOff.load() != 0 : true;
}

bool mrtc_plugin::isSupportedRtcType(const std::string& rtcType, int64_t x) const {
  // Compared as views: the lengths tell most words apart before any byte is
  // compared (every request and received command asks).
  const std::string_view type = rtcType;
  if (type == texts::kRtc || type == texts::kMicroConfer) return true;
  if (type == texts::kUnbindConfer) return settings_.unbindSwitch.load() != 0 || x != 0;
  if (type == texts::kP2pConfer) return settings_.p2pSwitch.load() != 0;
  return false;
}

void mrtc_plugin::postTimer(imsdk::timerCmd& cmd) {
  imsdk::IHostService* h = host();
  if (h == nullptr) return;
  h->postToDispatch(imsdk::kCmdTimer, &cmd, imsdk::kTimerCmdSize, 0);
}

namespace {

// The keep-alive runs out after this many seconds without a refresh.
constexpr int32_t kKeepAliveSeconds = 60;

// The fields every timer request names; the rest keep the record's defaults
// (no refresh, no members, duration 0, memberMode kMembersReplace) until the
// caller sets them.
imsdk::timerCmd timerCommand(uint8_t op, int32_t category, int32_t type, const std::string& key) {
  imsdk::timerCmd cmd;
  cmd.op = op;
  cmd.category = category;
  cmd.type = type;
  cmd.key = key;
  return cmd;
}

}  // namespace

void mrtc_plugin::addTimeout(int32_t type, const std::string& key, std::vector<int64_t> members,
                             int32_t duration, int32_t category, int32_t memberMode,
                             const std::string& extra) {
  imsdk::timerCmd cmd = timerCommand(kTimerAdd, category, type, key);
  cmd.members = std::move(members);
  cmd.duration = duration;
  cmd.memberMode = memberMode;
  cmd.extra = extra;
  postTimer(cmd);
}

void mrtc_plugin::addRecallTimeout(const std::string& key, const std::string& roomId,
                                   const std::vector<int64_t>& members, int32_t duration,
                                   int32_t category, const std::string& extra, int64_t fireTime,
                                   int32_t recallCnt) {
  imsdk::timerCmd cmd = timerCommand(kTimerAdd, category, kTimeoutRecall, key);
  cmd.memberMode = kMembersAsGiven;
  cmd.roomId = roomId;
  cmd.members = members;
  cmd.duration = duration;
  cmd.extra = extra;
  cmd.fireTime = fireTime;
  cmd.recallCnt = recallCnt;
  postTimer(cmd);
}

void mrtc_plugin::removeTimeout(int32_t type, const std::string& key, int64_t member,
                                int32_t category) {
  imsdk::timerCmd cmd = timerCommand(kTimerRemove, category, type, key);
  cmd.members = {member};
  postTimer(cmd);
}

void mrtc_plugin::startKeepAlive() {
  imsdk::timerCmd cmd =
      timerCommand(kTimerAdd, kTimeoutKeepAliveCategory, kTimeoutKeepAlive, texts::kKeepAliveKey);
  cmd.refresh = 1;
  cmd.duration = kKeepAliveSeconds;
  postTimer(cmd);
}

}  // namespace imsdkmrtc
