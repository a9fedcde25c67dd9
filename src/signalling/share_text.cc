// Shared texts (plain chat messages the application has the plug-in post) and
// the small reader of a room id in request data.
#include <algorithm>

#include "base/json.h"
#include "base/json_escape.h"
#include "base/wire_words.h"
#include "signalling/card_build.h"
#include "signalling/card_texts.h"
#include "signalling/msg_types.h"
#include "signalling/wire_texts.h"
#include "tools.h"

namespace imsdkmrtc {

namespace {

// Result codes of readShareInfo.
enum : int32_t {
  kShareOk = 0,
  kShareBadType = 2,
  kShareNoTarget = 4,
  kShareTwoTargets = 5,
  kShareNoText = 6,
  kShareBadMembers = 8,
  kShareNoOwner = 9,
  kShareEmptyMember = 11,
  kShareNotJson = 99,
};

std::string stringOf(const json::Value& object, const char* key) {
  const json::Value* value = findString(object, key);
  return value != nullptr ? toString(*value) : std::string();
}

void addOnce(std::vector<int64_t>& list, int64_t id, int64_t owner) {
  if (id == owner || std::find(list.begin(), list.end(), id) != list.end()) return;
  list.push_back(id);
}

int32_t readMembers(const json::Value& members, shareInfo& info) {
  if (members.Empty()) return kShareBadMembers;
  bool ownerFound = false;
  for (const json::Value& member : members.GetArray()) {
    if (findString(member, texts::card::kKeyPeer) == nullptr ||
        findString(member, texts::card::kKeyRank) == nullptr) {
      return kShareBadMembers;
    }
    if (!ownerFound && stringOf(member, texts::card::kKeyRank) == texts::card::kRankOwner) {
      info.ownerId = tools::strToInt64(stringOf(member, texts::card::kKeyPeer));
      ownerFound = true;
    }
  }
  if (!ownerFound) return kShareNoOwner;
  for (const json::Value& member : members.GetArray()) {
    std::string peer = stringOf(member, texts::card::kKeyPeer);
    std::string rank = stringOf(member, texts::card::kKeyRank);
    if (peer.empty() || rank.empty()) return kShareEmptyMember;
    int64_t id = tools::strToInt64(peer);
    if (rank == texts::card::kRankManager) {
      addOnce(info.managers, id, info.ownerId);
      addOnce(info.memberIds, id, info.ownerId);
    } else if (rank == texts::card::kRankMember) {
      addOnce(info.memberIds, id, info.ownerId);
    }
  }
  return kShareOk;
}

}  // namespace

int32_t msgProxy::readShareInfo(const std::string& text, shareInfo& info) const {
  if ((info.type != texts::kShareCreate && info.type != texts::kShareHistory) || text.empty()) {
    return kShareBadType;
  }
  jsonDocument doc;
  if (!parseText(doc, text)) return kShareNotJson;
  std::string faceTo = stringOf(doc, texts::card::kKeyFaceToId);
  std::string group = stringOf(doc, texts::kKeyGroupId);
  if (faceTo.empty() && group.empty()) return kShareNoTarget;
  if (!faceTo.empty() && !group.empty()) return kShareTwoTargets;
  if (!faceTo.empty()) {
    info.faceToId = tools::strToInt64(faceTo);
  } else {
    info.groupId = tools::strToInt64(group);
  }
  std::string shared = stringOf(doc, texts::card::kKeyShareText);
  if (shared.empty()) return kShareNoText;
  info.shareText = "{ \"body\":\"" + jsonEscape(shared) + "\" }";

  if (doc.IsObject()) {
    auto members = doc.FindMember(texts::wire::kMembers);
    if (members != doc.MemberEnd() && members->value.IsArray()) {
      int32_t code = readMembers(members->value, info);
      if (code != kShareOk) return code;
    }
    auto outMembers = doc.FindMember(texts::wire::kOutMembers);
    if (outMembers != doc.MemberEnd() && outMembers->value.IsArray()) {
      for (const json::Value& element : outMembers->value.GetArray()) {
        if (element.IsString()) {
          info.outMembers.push_back(tools::strToInt64(toString(element)));
        } else if (element.IsInt64()) {
          info.outMembers.push_back(element.GetInt64());
        } else if (element.IsUint64()) {
          info.outMembers.push_back(static_cast<int64_t>(element.GetUint64()));
        }
        // Other kinds (fractions, objects, ...) name no user.
      }
    }
  }
  return kShareOk;
}

bool msgProxy::sendShareText(int64_t target, const std::vector<int64_t>& limit,
                             const std::string& body) {
  return sendMessage(target, kMsgTypeShareText, body, limit,
                     sendOptions().withLimitRange().withSendType(kInsertThenSend));
}

std::string msgProxy::readReqRoomId(const std::string& text) {
  if (text.empty()) return std::string();
  jsonDocument doc;
  if (!parseText(doc, text) || !doc.IsObject()) return std::string();
  auto reqData = doc.FindMember(texts::card::kKeyReqData);
  if (reqData == doc.MemberEnd() || !reqData->value.IsObject()) return std::string();
  return stringOf(reqData->value, texts::kKeyRoomId);
}

}  // namespace imsdkmrtc
