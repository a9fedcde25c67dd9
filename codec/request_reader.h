// Reads an application request in the shared vocabulary.
#pragma once

#include <cstdint>
#include <set>
#include <string>

#include "reader.h"
#include "request_fields.h"
#include "sdk_cmd.h"

namespace codec {

// "call", "invite", ... or a number 24000..24998.
uint16_t requestCode(const Reader& r, const JValue& v, const std::string& where);
// The request's fields beside its name (not the command code).
void readRequestFields(const Reader& r, const JValue& v, const std::string& where,
                       RequestFields& q);
// The keys readRequestFields reads.
const std::set<std::string>& requestFieldKeys();
ExtraFields readExtra(const Reader& r, const JValue& v, const std::string& where);

// The record's fields as the application fills them in.
imsdk::req_mrtc_request toRecord(const RequestFields& q);

}  // namespace codec
