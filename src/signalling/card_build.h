// Pieces shared by the card, hint and shared-text builders of msgProxy.
// Pure helpers except userNameOf, which asks the host; any thread, no lock.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
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

// Appends ["a","b"]: each text (or id) escaped and quoted.
void appendQuotedArray(std::string& out, const std::vector<std::string>& texts);
void appendQuotedArray(std::string& out, const std::vector<int64_t>& ids);

// Appends {"name":"value"}, both escaped: one entry of a field list; or
// only its opening, up to the value ({"name":").
void appendField(std::string& out, std::string_view name, std::string_view value);
void appendFieldOpen(std::string& out, std::string_view name);

// Appends "fields":[...],"fields_eng":[...] of a card from the template's
// rendered rows: the originator row shows ownerName, the version row only
// when addr names a server of the label table (whose row is then appended).
void appendFieldLists(std::string& out, const std::vector<renderedRow>& rows,
                      const std::string& addr, const std::string& ownerName);

// Posts a card or hint record: inserts it first when asked, then sends it
// (the sent record takes the texts over). Message type, flag and properties
// as given; returns the send's answer.
struct hostPost {
  int64_t target = 0;
  uint16_t msgType = 0;
  std::string body;
  std::string properties;
  std::vector<int64_t> limitRange;
  bool insert = false;
  bool send = true;
};
bool postToHost(pluginEnv* plugin, hostPost post);

// Appends "key":"value", with the trailing comma; the value escaped. A card
// is a score of them, built in one buffer.
void appendQuotedPair(std::string& out, const char* key, std::string_view value);
// The same for a number in decimal, which needs no escaping.
void appendQuotedNumber(std::string& out, const char* key, int64_t value);

// Appends the opening of every card: {"content":..,"createTime":0,"detailUrl":..,
void appendCardHead(std::string& out, std::string_view content, std::string_view detailUrl);

// The keys every card has between "extendInfo" and the field lists, from
// "title" to "creator" (with the trailing comma), appended to out. The
// looks only point at their texts: they live as long as the call.
struct cardLooks {
  std::string_view title;
  std::string_view titleEng;
  std::string_view titleColor;
  std::string_view type;
  std::string_view titleBgColor;
};
void appendCardTitleBar(std::string& out, const cardLooks& looks, std::string_view creator);
// The title bar up to the creator, and the creator: the call card keeps the
// first part rendered in its template.
void appendCardLooks(std::string& out, const cardLooks& looks);
void appendCardCreator(std::string& out, std::string_view creator);

}  // namespace imsdkmrtc
