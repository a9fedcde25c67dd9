#include "item.h"
#include "page_server.h"

namespace node::http {

std::string directoryJson(const Directory& dir, int64_t self, int32_t device,
                          const std::string& client) {
  auto name = [&](int64_t id) {
    auto u = dir.users.find(id);
    return codec::jsonString(u == dir.users.end() ? std::to_string(id) : u->second.name);
  };
  std::string s = "{\"self\":{\"id\":" + std::to_string(self) + ",\"name\":" + name(self) +
                  ",\"device\":" + std::to_string(device) +
                  ",\"client\":" + codec::jsonString(client) + "},\"users\":[";
  bool first = true;
  for (const auto& entry : dir.users) {
    s += std::string(first ? "" : ",") + "{\"id\":" + std::to_string(entry.first) +
         ",\"name\":" + name(entry.first) + "}";
    first = false;
  }
  s += "],\"groups\":[";
  first = true;
  for (const auto& [id, members] : dir.groups) {
    s += std::string(first ? "" : ",") + "{\"id\":" + std::to_string(id) +
         ",\"members\":" + codec::idsText(members) + "}";
    first = false;
  }
  return s + "]}";
}

}  // namespace node::http
