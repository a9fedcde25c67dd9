#include "signalling/cmd_body.h"

#include <limits>
#include <string>

#include "base/json.h"
#include "signalling/quick_events.h"
#include "signalling/wire_texts.h"
#include "tools.h"

namespace imsdkmrtc {

namespace {

struct keyName {
  const char* text;
  uint32_t length;
};

template <size_t N>
constexpr keyName kn(const char (&text)[N]) {
  return {text, static_cast<uint32_t>(N - 1)};
}

// By cmdBodyKey.
constexpr keyName kKeyNames[kBodyKeyCount] = {
    kn(texts::wire::kType),       kn(texts::wire::kAnnotation),  kn(texts::kKeySenderId),
    kn(texts::kKeyGroupId),       kn(texts::wire::kOnwerId),     kn(texts::wire::kOName),
    kn(texts::kKeyRoomId),        kn(texts::wire::kRoomToken),   kn(texts::wire::kRoomName),
    kn(texts::wire::kAddr),       kn(texts::wire::kSrvVer),      kn(texts::wire::kSrvTag),
    kn(texts::wire::kVideoType),  kn(texts::wire::kCmode),       kn(texts::wire::kBeginTime),
    kn(texts::wire::kDeviceType), kn(texts::wire::kVersion),     kn(texts::wire::kExtend),
    kn(texts::wire::kRtcType),    kn(texts::wire::kVideoStatus), kn(texts::wire::kFlag),
    kn(texts::wire::kSelects),    kn(texts::wire::kMembers),     kn(texts::wire::kHismembers),
    kn(texts::wire::kMemstates),  kn(texts::wire::kInitState),
};

constexpr int kNoKey = -1;

// Compared here rather than by libc: every client reads each command it
// receives, a score of names each, and the fuzz builds hook every memcmp of
// the process, a few hundred instructions for one that differs.
bool sameName(const keyName& name, const char* text, size_t length) {
  if (name.length != length) return false;
  for (size_t i = 0; i < length; ++i) {
    if (name.text[i] != text[i]) return false;
  }
  return true;
}

// A root key's place among NAMES, or kNoKey. Only a key's first member is
// read, as the document reader does: a repeat is noted in SEEN and left.
template <size_t N>
int claimKey(const keyName (&names)[N], bool (&seen)[N], const char* text, size_t length) {
  for (size_t k = 0; k < N; ++k) {
    if (sameName(names[k], text, length)) {
      const bool first = !seen[k];
      seen[k] = true;
      return first ? static_cast<int>(k) : kNoKey;
    }
  }
  return kNoKey;
}

// The parse events of a body. Depth 1 is inside the root object; a list's
// elements come at depth 2, and anything nested deeper is only counted.
class cmdBodyHandler : public json::BaseReaderHandler<json::UTF8<>, cmdBodyHandler> {
 public:
  explicit cmdBodyHandler(cmdBody& out) : out_(out) {}
  bool rootIsObject() const { return rootObject_; }

  bool Null() { return scalar(element::kOther); }
  bool Bool(bool b) { return scalar(b ? element::kTrue : element::kOther); }
  bool Int(int i) { return number(i); }
  bool Uint(unsigned u) { return number(u); }
  bool Int64(int64_t i) { return number(i); }
  bool Uint64(uint64_t u) {
    if (u > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
      return scalar(element::kOther);
    }
    return number(static_cast<int64_t>(u));
  }
  bool Double(double /*d*/) { return scalar(element::kOther); }
  bool String(const char* text, json::SizeType length, bool /*copy*/) {
    if (atValue()) {
      if (pending_ != kNoKey && pending_ < kBodyTextKeys) {
        out_.hasText[pending_] = true;
        out_.text[pending_].assign(text, length);
      }
      pending_ = kNoKey;
    } else if (atElement()) {
      if (list_ == kBodyInitState) {
        out_.initState.emplace_back(text, length);
      } else if (list_ == kBodyMemstates) {
        out_.memstates.push_back(0);
      } else {
        // Clients write ids as numbers here; a text is the rare case, and the
        // quick pass's texts are not NUL-ended.
        idList().push_back(tools::strToInt64(std::string(text, length)));
      }
    }
    return true;
  }
  // Asked by the quick pass as an array opens: an id list's integers go
  // straight into the list, as number() would put them.
  quick::plainIds plainList() {
    if (atElement() && list_ <= kBodyHismembers) {
      return {quick::plainIds::form::kNumbers, &idList()};
    }
    return {};
  }
  bool Key(const char* text, json::SizeType length, bool /*copy*/) {
    if (depth_ != 1 || !rootObject_) return true;
    pending_ = claimKey(kKeyNames, seen_, text, length);
    return true;
  }
  bool StartObject() { return open(false); }
  bool StartArray() { return open(true); }
  bool EndObject(json::SizeType /*members*/) { return close(); }
  bool EndArray(json::SizeType /*elements*/) { return close(); }

 private:
  enum class element { kTrue, kOther };

  bool atValue() const { return depth_ == 1 && rootObject_; }
  bool atElement() const { return depth_ == 2 && list_ != kNoKey; }
  std::vector<int64_t>& idList() { return out_.ids[list_ - kBodySelects]; }

  // A value that is no text and no id: it ends a pending key unread, and in
  // the flag list it counts as a flag.
  bool scalar(element kind) {
    if (atValue()) {
      pending_ = kNoKey;
    } else if (atElement() && list_ == kBodyMemstates) {
      out_.memstates.push_back(kind == element::kTrue ? 1 : 0);
    }
    return true;
  }
  bool number(int64_t value) {
    if (atElement() && list_ >= kBodySelects && list_ <= kBodyHismembers) {
      idList().push_back(value);
      return true;
    }
    return scalar(element::kOther);
  }
  bool open(bool array) {
    if (depth_ == 0) {
      rootObject_ = !array;
    } else if (atValue()) {
      if (array && pending_ >= kBodyTextKeys) {
        out_.hasList[pending_ - kBodyTextKeys] = true;
        list_ = pending_;
      }
      pending_ = kNoKey;
    } else {
      scalar(element::kOther);
    }
    ++depth_;
    return true;
  }
  bool close() {
    --depth_;
    if (depth_ == 1) list_ = kNoKey;
    return true;
  }

  cmdBody& out_;
  bool seen_[kBodyKeyCount] = {};
  int depth_ = 0;
  bool rootObject_ = false;
  // The known key whose value comes next, and the list being read.
  int pending_ = kNoKey;
  int list_ = kNoKey;
};

// By extendKey.
constexpr keyName kExtendKeyNames[kExtendKeyCount] = {
    kn(texts::wire::kAddr),    kn(texts::wire::kConferMode), kn(texts::kKeyMode),
    kn(texts::wire::kRtcType), kn(texts::wire::kRoomToken),  kn(texts::wire::kSrvVer),
    kn(texts::wire::kSrvTag),  kn(texts::wire::kInitState),  kn(texts::wire::kOutMembers),
};

// The quick pass's events of a call extend. Depth 1 is inside the root
// object; a list's elements come at depth 2, and anything nested deeper is
// passed over.
class extendHandler {
 public:
  explicit extendHandler(extendMembers& out) : out_(out) {}

  quick::plainIds plainList() const { return {}; }
  bool Null() { return other(); }
  bool Bool(bool /*b*/) { return other(); }
  bool Int64(int64_t /*i*/) { return other(); }
  bool String(const char* text, json::SizeType length, bool /*copy*/) {
    if (depth_ == 1) {
      if (pending_ != kNoKey && pending_ < kExtendTextKeys) {
        out_.found[pending_] = true;
        out_.texts[pending_].assign(text, length);
      }
      pending_ = kNoKey;
    } else if (depth_ == 2 && list_ != nullptr && !list_->refused) {
      list_->texts.emplace_back(text, length);
    }
    return true;
  }
  bool Key(const char* text, json::SizeType length, bool /*copy*/) {
    if (depth_ != 1) return true;
    pending_ = claimKey(kExtendKeyNames, seen_, text, length);
    return true;
  }
  bool StartObject() {
    other();
    ++depth_;
    return true;
  }
  bool StartArray() {
    if (depth_ == 1 && pending_ >= kExtendInitState) {
      list_ = pending_ == kExtendInitState ? &out_.initState : &out_.outMembers;
      pending_ = kNoKey;
    } else {
      other();
    }
    ++depth_;
    return true;
  }
  bool EndObject(json::SizeType /*members*/) { return close(); }
  bool EndArray(json::SizeType /*elements*/) { return close(); }

 private:
  // A value that is no text: a pending key is left unread, and in a list it
  // refuses the list.
  bool other() {
    if (depth_ == 1) {
      pending_ = kNoKey;
    } else if (depth_ == 2 && list_ != nullptr) {
      list_->refused = true;
    }
    return true;
  }
  bool close() {
    --depth_;
    if (depth_ == 1) list_ = nullptr;
    return true;
  }

  extendMembers& out_;
  bool seen_[kExtendKeyCount] = {};
  int depth_ = 0;
  // The known key whose value comes next, and the list being read.
  int pending_ = kNoKey;
  extendList* list_ = nullptr;
};

// A text array member's texts; a member that is absent or no array leaves
// list alone.
void takeTexts(const json::Value& object, extendKey key, extendList& list) {
  auto it = object.FindMember(kExtendKeyNames[key].text);
  if (it == object.MemberEnd() || !it->value.IsArray()) return;
  for (const auto& e : it->value.GetArray()) {
    if (!e.IsString()) {
      list.refused = true;
      return;
    }
    list.texts.emplace_back(e.GetString(), e.GetStringLength());
  }
}

}  // namespace

void cmdBody::clear() {
  for (bool& has : hasText) has = false;
  for (std::string& t : text) t.clear();
  for (bool& has : hasList) has = false;
  for (std::vector<int64_t>& list : ids) list.clear();
  memstates.clear();
  initState.clear();
}

bool readCmdBody(const std::string& text, cmdBody& out) {
  out.clear();
  {
    cmdBodyHandler quick(out);
    if (quickEvents(text, quick) == quickPass::kDone) return quick.rootIsObject();
  }
  // Something the quick pass leaves to the general reader: start over.
  out.clear();
  cmdBodyHandler handler(out);
  return parseEvents(text, handler) && handler.rootIsObject();
}

const char* extendKeyName(extendKey key) { return kExtendKeyNames[key].text; }

bool quickExtendMembers(const std::string& text, extendMembers& out) {
  extendHandler handler(out);
  return quickEvents(text, handler) == quickPass::kDone;
}

bool fullExtendMembers(const std::string& text, extendMembers& out) {
  jsonDocument doc;
  if (!parseText(doc, text) || !doc.IsObject()) return false;
  for (int k = 0; k < kExtendTextKeys; ++k) {
    if (const json::Value* v = findString(doc, kExtendKeyNames[k].text)) {
      out.found[k] = true;
      out.texts[k] = toString(*v);
    }
  }
  takeTexts(doc, kExtendInitState, out.initState);
  takeTexts(doc, kExtendOutMembers, out.outMembers);
  return true;
}

}  // namespace imsdkmrtc
