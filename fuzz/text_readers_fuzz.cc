// Drives the plain-text value readers and the media-server text readers with
// arbitrary input: the first byte picks the key, the rest is the text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/base64.h"
#include "base/text_readers.h"
#include "base/version.h"
#include "slb/slb_server.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static const char* const kKeys[] = {"groupId",         "netId",   "apHost", "roomId",
                                      "mediaServerAddr", "pcOnOff", "a",      ""};
  const std::string key = kKeys[data[0] % (sizeof(kKeys) / sizeof(kKeys[0]))];
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  using namespace imsdkmrtc;
  bool flag = false;
  getJsonText(text, key);
  getJsonString(text, key);
  getJsonInt(text, key);
  getJsonBool(text, key, flag);
  getJsonNumber(text, key);
  getKeyValue(text, key);
  base64Decode(text);
  base64Encode(text);
  versionKey(text);
  compareVersion(text);
  slbServer::jsonStringMember(text, key);
  slbServer slb;
  std::string ap;
  std::string netId;
  slb.parseApHostNetId(text, ap, netId);
  return 0;
}
