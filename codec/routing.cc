#include "routing.h"

#include <rapidjson/document.h>

#include "signalling/wire_texts.h"
#include "tools.h"

namespace codec {

namespace {
constexpr const char* kTargetKey = imsdkmrtc::texts::wire::kTargetIdKey;
}  // namespace

int64_t relayTarget(const std::string& properties) {
  RAPIDJSON_NAMESPACE::Document doc;
  doc.Parse(properties.c_str(), properties.size());
  if (doc.HasParseError() || !doc.IsObject()) return 0;
  auto it = doc.FindMember(kTargetKey);
  if (it == doc.MemberEnd()) return 0;
  const auto& value = it->value;
  if (value.IsInt64()) return value.GetInt64();
  if (value.IsString()) {
    std::string text = tools::trim(std::string(value.GetString(), value.GetStringLength()));
    if (tools::isNumber(text)) return tools::strToInt64(text);
  }
  return 0;
}

}  // namespace codec
