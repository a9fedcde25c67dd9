#include "setting_text.h"

#include <cstdint>

#include "item.h"
#include "requests/request_texts.h"

namespace codec {

namespace keys = imsdkmrtc::texts::request;

std::string settingText(std::initializer_list<SettingField> fields) {
  std::string out = "{";
  for (const SettingField& f : fields) {
    if (out.size() > 1) out += ",";
    out += jsonString(f.first) + ":" + jsonString(f.second);
  }
  return out + "}";
}

std::string switchText(const char* key, bool on) { return settingText({{key, on ? "on" : "off"}}); }

std::string recallText(int64_t durationS, int64_t count) {
  return settingText({{keys::kKeyEnable, "on"},
                      {keys::kKeyDuration, std::to_string(durationS)},
                      {keys::kKeyCount, std::to_string(count)}});
}

}  // namespace codec
