#include "request_reader.h"

#include "names.h"

namespace codec {

uint16_t requestCode(const Reader& r, const JValue& v, const std::string& where) {
  if (v.IsString()) {
    std::string name(v.GetString(), v.GetStringLength());
    if (const uint16_t cmd = requestOfName(name); cmd != 0) return cmd;
    r.fail(where, "unknown request \"" + name +
                      "\" (call, invite, intoroom, join, hungup, keepalive, connectstate, "
                      "templetjoin, or a number " +
                      std::to_string(imsdk::kCmdCall) + ".." +
                      std::to_string(imsdk::kCmdTempletJoin) + ")");
  }
  if (v.IsInt64() && v.GetInt64() >= imsdk::kCmdRangeFirst &&
      v.GetInt64() <= imsdk::kCmdRangeLast) {
    return static_cast<uint16_t>(v.GetInt64());
  }
  r.fail(where, "\"request\" must be a request name or a number " +
                    std::to_string(imsdk::kCmdRangeFirst) + ".." +
                    std::to_string(imsdk::kCmdRangeLast));
}

ExtraFields readExtra(const Reader& r, const JValue& v, const std::string& where) {
  r.object(v, where);
  r.onlyKeys(v, where, {"type", "cmd", "extend"});
  ExtraFields e;
  e.type = r.integer(r.required(v, "type", where), where, "type");
  if (e.type < -128 || e.type > 127) r.fail(where, "\"type\" must fit in 8 bits (-128..127)");
  e.cmd = r.textOr(v, "cmd", where);
  e.extend = r.textOr(v, "extend", where);
  return e;
}

const std::set<std::string>& requestFieldKeys() {
  static const std::set<std::string> kKeys = {"kind",     "annotation", "groupId", "roomId",
                                              "roomName", "members",    "extend"};
  return kKeys;
}

void readRequestFields(const Reader& r, const JValue& v, const std::string& where,
                       RequestFields& q) {
  q.kind = r.intOr(v, "kind", 0, where);
  if (q.kind < 0 || q.kind > 255) r.fail(where, "\"kind\" must be 0..255");
  q.annotation = r.stringOr(v, "annotation", where);
  q.groupId = r.intOr(v, "groupId", 0, where);
  q.roomId = r.stringOr(v, "roomId", where);
  q.roomName = r.stringOr(v, "roomName", where);
  q.members = r.idsOr(v, "members", where);
  q.extend = r.textOr(v, "extend", where);
}

imsdk::req_mrtc_request toRecord(const RequestFields& q) {
  imsdk::req_mrtc_request fields;
  fields.kind = static_cast<uint8_t>(q.kind);
  fields.annotation = q.annotation;
  fields.groupId = q.groupId;
  fields.roomId = q.roomId;
  fields.roomName = q.roomName;
  fields.members = q.members;
  fields.extend = q.extend;
  return fields;
}

}  // namespace codec
