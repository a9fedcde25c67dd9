#include "signalling/msg_proxy.h"

#include <cstring>
#include <string_view>
#include <utility>

#include "base/log.h"
#include "base/plugin_env.h"
#include "signalling/wire_texts.h"

namespace imsdkmrtc {

void msgProxy::init(pluginEnv* plugin, int8_t ownDeviceType, ownHintFn ownHint) {
  plugin_ = plugin;
  ownHint_ = std::move(ownHint);
  ownDeviceType_ = ownDeviceType;
}

// The command table is a dozen constant rows, each code and name once: a scan
// of them costs less than the map every plug-in used to build from them.
std::string msgProxy::codeToName(int32_t code) const {
  for (const auto& row : texts::wire::kCmdNameRows) {
    if (row.code == code) return row.name;
  }
  return texts::wire::kUnknownCmdName;
}

int32_t msgProxy::nameToCode(const std::string& name) const {
  for (const auto& row : texts::wire::kCmdNameRows) {
    if (name == row.name) return row.code;
  }
  return isMultiName(name) ? kCmdMultiBlank : kCmdNotMulti;
}

bool msgProxy::isMultiName(const std::string& name) {
  // Short names are accepted as they are; longer ones (and the empty one)
  // must carry the prefix.
  if (!name.empty() && name.size() < 8) return true;
  return name.compare(0, texts::wire::kMultiPrefixLen, texts::wire::kMultiPrefix) == 0;
}

// As a view, the length decides most compares before any byte is read.
bool msgProxy::isP2P(const std::string& text) {
  return std::string_view(text) == texts::kP2pConfer;
}

void msgProxy::setLimitRange(bool on) {
  limitRangeOn_.store(on);
  if (plugin_ != nullptr) {
    MRTC_LOG(plugin_, 0, texts::wire::kFnSetLimitRange, texts::wire::kLogLimitRange, on ? 1 : 0);
  }
}

}  // namespace imsdkmrtc
