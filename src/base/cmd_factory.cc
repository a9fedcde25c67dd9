#include "base/cmd_factory.h"

namespace imsdkmrtc {

imsdk::_sdkcmd_base* cmdFactory::create(uint16_t cmdId, cmdRecord record) const {
  using namespace imsdk;
  if (cmdId < kCmdCall || cmdId > kCmdTempletJoin) return nullptr;
  if (cmdId == kCmdUiEvent) return new resp_mrtcEvent();
  if (cmdId == kCmdKeepAlive) return nullptr;
  if (record == cmdRecord::kResponse) return new resp_commonResult();
  if (cmdId == kCmdExtra) return new req_mrtc_extra();
  return new req_mrtc_request();
}

imsdk::_sdkcmd_base* cmdFactory::clone(uint16_t cmdId, const imsdk::_sdkcmd_base* source) const {
  using namespace imsdk;
  _sdkcmd_base* record = create(cmdId, cmdRecord::kRequest);
  if (record == nullptr || source == nullptr) return record;
  // Only request records are copied; the source must be of the same kind.
  if (auto* extra = dynamic_cast<req_mrtc_extra*>(record)) {
    if (auto* src = dynamic_cast<const req_mrtc_extra*>(source)) *extra = *src;
  } else if (auto* request = dynamic_cast<req_mrtc_request*>(record)) {
    if (auto* src = dynamic_cast<const req_mrtc_request*>(source)) *request = *src;
  }
  return record;
}

void cmdFactory::release(imsdk::_sdkcmd_base* record) const { delete record; }

}  // namespace imsdkmrtc
