#include "directory.h"

#include <fstream>
#include <sstream>

#include "reader.h"

namespace node {

namespace {

using codec::JValue;
using codec::Reader;

const JValue& arrayOf(const Reader& r, const JValue& doc, const char* key) {
  static const JValue kEmpty(json::kArrayType);
  const JValue* v = r.member(doc, key);
  if (v == nullptr) return kEmpty;
  if (!v->IsArray()) r.fail(key, "must be an array");
  return *v;
}

}  // namespace

int64_t Directory::userNamed(const std::string& name) const {
  auto lower = [](std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  };
  for (const auto& [id, user] : users) {
    if (lower(user.name) == lower(name)) return id;
  }
  return 0;
}

Directory readDirectory(const std::string& text, const std::string& file) {
  Reader r(file);
  json::Document doc;
  if (!imsdkmrtc::parseText(doc, text)) r.fail("", "not valid JSON");
  r.object(doc, "");
  r.onlyKeys(doc, "", {"domain", "users", "groups", "config"});
  Directory d;
  if (r.member(doc, "domain") != nullptr) d.domain = r.string(doc["domain"], "", "domain");
  int i = 0;
  for (const JValue& u : arrayOf(r, doc, "users").GetArray()) {
    const std::string at = "users[" + std::to_string(i++) + "]";
    r.object(u, at);
    r.onlyKeys(u, at, {"id", "name", "password"});
    const int64_t id = r.integer(r.required(u, "id", at), at, "id");
    d.users[id] = {r.string(r.required(u, "name", at), at, "name"),
                   r.string(r.required(u, "password", at), at, "password")};
  }
  i = 0;
  for (const JValue& g : arrayOf(r, doc, "groups").GetArray()) {
    const std::string at = "groups[" + std::to_string(i++) + "]";
    r.object(g, at);
    r.onlyKeys(g, at, {"id", "members"});
    d.groups[r.integer(r.required(g, "id", at), at, "id")] =
        r.ids(r.required(g, "members", at), at, "members");
  }
  i = 0;
  for (const JValue& c : arrayOf(r, doc, "config").GetArray()) {
    const std::string at = "config[" + std::to_string(i++) + "]";
    r.object(c, at);
    r.onlyKeys(c, at, {"key", "field", "value"});
    d.config[{r.string(r.required(c, "key", at), at, "key"),
              r.string(r.required(c, "field", at), at, "field")}] =
        r.text(r.required(c, "value", at), at, "value");
  }
  return d;
}

Directory loadDirectory(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw codec::ReadError(path + ": cannot be read");
  std::stringstream text;
  text << in.rdbuf();
  return readDirectory(text.str(), path);
}

}  // namespace node
