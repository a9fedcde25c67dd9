// Pieces shared by the card, hint and shared-text builders of msgProxy.
// Pure helpers except userNameOf, which asks the host; any thread, no lock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/log.h"
#include "base/plugin_env.h"
#include "signalling/msg_proxy.h"

// Logs at level 0 when the proxy belongs to a plug-in (a bare msgProxy, as the
// readers' tests build it, has none).
#define PROXY_LOG(plugin, func, ...)              \
  do {                                            \
    if ((plugin) != nullptr) {                    \
      MRTC_LOG((plugin), 0, (func), __VA_ARGS__); \
    }                                             \
  } while (0)

namespace imsdkmrtc {

// Display name of a user from the host; empty when unknown or without host.
std::string userNameOf(const pluginEnv* plugin, int64_t userId);

// ["a","b"]: each text escaped and quoted.
std::string quotedArray(const std::vector<std::string>& texts);
std::string quotedArray(const std::vector<int64_t>& ids);

// "fields":[...],"fields_eng":[...] of a card from the template rows: the
// originator row shows ownerName, the version row only when addr names a
// server of the label table (whose row is then appended).
std::string fieldLists(const std::vector<tempField>& rows, const std::string& addr,
                       const std::string& ownerName);

// Posts a card or hint record: inserts it first when asked, then sends it.
// Message type, flag and properties as given; returns the send's answer.
struct hostPost {
  int64_t target = 0;
  uint16_t msgType = 0;
  std::string body;
  std::string properties;
  std::vector<int64_t> limitRange;
  bool insert = false;
  bool send = true;
};
bool postToHost(pluginEnv* plugin, const hostPost& post);

// Appends "key":"value", with the trailing comma; the value escaped. A card
// is a score of them, built in one buffer.
void appendQuotedPair(std::string& out, const char* key, const std::string& value);

// The opening of every card: {"content":..,"createTime":0,"detailUrl":..,
std::string cardHead(const std::string& content, const std::string& detailUrl);

// The keys every card has between "extendInfo" and the field lists, from
// "title" to "creator" (with the trailing comma).
struct cardLooks {
  std::string title;
  std::string titleEng;
  std::string titleColor;
  std::string type;
  std::string titleBgColor;
};
std::string cardTitleBar(const cardLooks& looks, const std::string& creator);

}  // namespace imsdkmrtc
