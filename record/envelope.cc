#include "envelope.h"

#include "describe.h"
#include "sdk_cmd.h"

namespace mrtcrecord {

void envelopeFields(codec::Item& item, uint16_t cmd, const void* block) {
  const auto* env = static_cast<const imsdk::cmdEnvelope*>(block);
  auto* record = env != nullptr ? static_cast<imsdk::_sdkcmd_base*>(env->record) : nullptr;
  if (auto* extra = dynamic_cast<imsdk::req_mrtc_extra*>(record)) {
    codec::extraFields(item, extra->type, extra->cmd, extra->extend);
  } else if (auto* request = dynamic_cast<imsdk::req_mrtc_request*>(record)) {
    codec::requestFields(item, cmd, *request);
  } else {
    item.set("cmd", int64_t{cmd});
  }
  if (record != nullptr) item.set("id", record->id);
  item.set("record", int64_t{record != nullptr ? 1 : 0});
  if (env != nullptr) item.set("word", int64_t{env->word});
}

}  // namespace mrtcrecord
