// The known keys of a signalling command body, read in one pass over the
// text without building a document: a call body lists every member twice,
// and every member's client reads it, so the reader keeps no value per id
// beyond the id itself. Likewise the call extend that every call and invite
// request carries, mostly a flat object of a few texts.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace imsdkmrtc {

// The keys the reader knows. Text keys first, then the lists.
enum cmdBodyKey : int {
  kBodyType,
  kBodyAnnotation,
  kBodySenderId,
  kBodyGroupId,
  kBodyOnwerId,
  kBodyOName,
  kBodyRoomId,
  kBodyRoomToken,
  kBodyRoomName,
  kBodyAddr,
  kBodySrvVer,
  kBodySrvTag,
  kBodyVideoType,
  kBodyCmode,
  kBodyBeginTime,
  kBodyDeviceType,
  kBodyVersion,
  kBodyExtend,
  kBodyRtcType,
  kBodyVideoStatus,
  kBodyFlag,
  kBodyTextKeys,
  kBodySelects = kBodyTextKeys,
  kBodyMembers,
  kBodyHismembers,
  kBodyMemstates,
  kBodyInitState,
  kBodyKeyCount
};

// What the body's root object holds under each known key. Only the first
// member of a name counts (as a member lookup finds it), and a value of
// another JSON type than the key's reads as if the key were absent.
struct cmdBody {
  // Text keys: set only when the value is a string.
  bool hasText[kBodyTextKeys] = {};
  std::string text[kBodyTextKeys];
  // Lists: set only when the value is an array.
  bool hasList[kBodyKeyCount - kBodyTextKeys] = {};
  // Id lists: elements that are decimal texts or integers that fit 64 bits;
  // any other element is skipped.
  std::vector<int64_t> ids[3];
  // One flag per element: 1 for true, 0 for anything else.
  std::vector<uint8_t> memstates;
  // The string elements.
  std::vector<std::string> initState;

  // Back to what a new body holds.
  void clear();

  const std::string* textOf(cmdBodyKey key) const { return hasText[key] ? &text[key] : nullptr; }
  bool hasListOf(cmdBodyKey key) const { return hasList[key - kBodyTextKeys]; }
  std::vector<int64_t>& idsOf(cmdBodyKey key) { return ids[key - kBodySelects]; }
};

// Reads text into a cleared out. False when the text is no JSON (exactly
// where parseText fails) or its root is no object; out is then partly filled
// and must not be used.
bool readCmdBody(const std::string& text, cmdBody& out);

// The keys of a call extend that a call or invite request reads. Text keys
// first, then the two lists.
enum extendKey : int {
  kExtendAddr,
  kExtendConferMode,
  kExtendMode,
  kExtendRtcType,
  kExtendRoomToken,
  kExtendSrvVer,
  kExtendSrvTag,
  kExtendTextKeys,
  kExtendInitState = kExtendTextKeys,
  kExtendOutMembers,
  kExtendKeyCount
};
const char* extendKeyName(extendKey key);

// A list of texts: the texts before its first element of another kind, and
// whether there was one (the extend is then refused).
struct extendList {
  std::vector<std::string> texts;
  bool refused = false;
};

// What the extend's root object holds under each key, from the key's first
// member only (as a member lookup finds it): a text key's value when that
// is a string, and a list's texts when it is an array.
struct extendMembers {
  std::array<bool, kExtendTextKeys> found{};
  std::array<std::string, kExtendTextKeys> texts;
  extendList initState;
  extendList outMembers;
};

// The members of text into a new out. The quick reader answers false where
// it is unsure (out is then of no use), the full one where the text is no
// JSON object; wherever the quick one answers, it reads what the full one
// does.
bool quickExtendMembers(const std::string& text, extendMembers& out);
bool fullExtendMembers(const std::string& text, extendMembers& out);

}  // namespace imsdkmrtc
