// msgProxy: writes and reads the signalling command JSON, sends every
// signalling step to the right chat, and builds the chat cards, weak hints
// and shared texts.
//
// Threads: the command table is constant; the writers, readers and senders
// touch only their arguments and may run on the request, notification and
// timer threads at once. The card template is
// changed by settings requests while card builders read it: the builders take
// a reference to the current template under templateLock_ and read it
// without the lock, and a change makes a new template and swaps it in under
// the lock, so a template that anyone can see is never written.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "CLocker.h"
#include "host_records.h"
#include "signalling/card_view.h"
#include "signalling/mrtc_cmd.h"
#include "store/talk_info.h"
#include "thread_annotations.h"

namespace imsdkmrtc {

class pluginEnv;

// One label/value row of a card.
struct tempField {
  std::string key;
  int32_t keyType = 1;
  std::string name;
  std::string value;
  std::string name_eng;
  std::string value_eng;
};

// How a card's field lists show a template row.
enum class rowShow : uint8_t {
  kAsSet,       // its name and value as the template has them
  kOriginator,  // the value is the call's owner
  kWithServer,  // the protocol version, only when the card names a known server
};

// A template row as the field lists write it, escaped once when the template
// is made: whole ({"name":"value"}), or for the originator up to its value
// ({"name":"), which each card completes.
struct renderedRow {
  rowShow show = rowShow::kAsSet;
  std::string field;
  std::string fieldEng;
};

// What the template alone decides of a call card, rendered from the other
// fields of the template (renderCardParts): every call copies these texts
// rather than escape the same labels again.
struct cardParts {
  std::string callHead;           // from "{" to the detail URL's pair
  std::string callLooks;          // the title bar's pairs before the creator
  std::vector<renderedRow> rows;  // the shown rows, in order
};

// The call card template.
struct cardTemplate {
  std::string livingUpdateUrl;
  std::string schemePrefix;
  std::string mcallingUpdateUrl;
  std::string title;
  std::string title_eng;
  std::string content;
  std::string titleColor;
  std::string titleBgColor;
  std::vector<tempField> rows;
  bool isVersion = false;
  cardParts parts;  // follows the fields above: see renderCardParts
};

// The template as a new plug-in starts with.
cardTemplate defaultCardTemplate();
// Renders tpl.parts from the other fields; every change of a template ends
// with it.
void renderCardParts(cardTemplate& tpl);

// An entry of the server-label table: address prefix ("a.b.c.d:") and label.
struct serverLabel {
  const char* prefix;
  const char* label;
};

// The call extend of a call or invite request.
struct callExtend {
  std::string addr;
  std::string conferMode;
  std::string mode;
  std::vector<std::string> initState;
  std::vector<std::string> outMembers;
  std::string rtcType;
  std::string roomToken;
  std::string srvVer;
  std::string srvTag;
  std::string videoType;
};

// A shared-text request.
struct shareInfo {
  std::string type;  // "create" or "history", set by the caller
  int64_t groupId = 0;
  int64_t ownerId = 0;
  int64_t faceToId = 0;
  std::vector<int64_t> outMembers;
  std::vector<int64_t> managers;
  std::vector<int64_t> memberIds;
  std::string shareText;
};

// Request data of a conference card.
struct confRequest {
  std::string conferType;
  std::vector<std::string> selects;
  std::string conferMode;
  std::string roomName;
  std::string addr;
  std::string singleRead;
  std::string groupId;
  std::string roomId;
  std::string orderTime;
  std::string roomToken;
  std::string srvVer;
  std::string srvTag;
};

// A received or handed-in card, fields named after their JSON keys.
struct cardInfo {
  std::string rtcType;
  std::string conferType;
  std::string conferMode;
  std::string roomId;
  std::string roomName;
  std::string roomToken;
  std::string addr;
  std::string orderTime;
  std::string srvVer;
  std::string srvTag;
  bool singleRead = false;
  int64_t onwerId = 0;
  int64_t senderId = 0;
  int64_t groupId = 0;
  std::string oName;
  std::string version;
  std::string mode;
  std::string beginTime;
  int32_t subType = 0;
  std::vector<int64_t> selects;
};

// The answer of the room-token cache request.
struct cacheAnswer {
  int64_t code = -1;
  std::string result;
  std::string token;
};

// Where sendMessage puts a message: its sendType (logged as a number).
enum sendMode : int32_t {
  kSendOnly = 0,
  kInsertOnly = 1,  // into the local history only
  kInsertThenSend = 2,
};

// The switches of one sendMessage call, all off by default:
// sendOptions().withLimitRange().withSendType(kInsertThenSend).
struct sendOptions {
  bool clearMsgFlag = false;   // msgFlag 0 rather than 1
  bool useLimitRange = false;  // limit the receivers even while the limit-range switch is off
  bool allowRedirect = false;  // may go through the service account while redirect is on
  int32_t sendType = kSendOnly;

  sendOptions& withClearedFlag() {
    clearMsgFlag = true;
    return *this;
  }
  sendOptions& withLimitRange(bool on = true) {
    useLimitRange = on;
    return *this;
  }
  sendOptions& withRedirect(bool on = true) {
    allowRedirect = on;
    return *this;
  }
  sendOptions& withSendType(int32_t type) {
    sendType = type;
    return *this;
  }
};

// Whether a call card also goes into this client's own chat history before
// it is sent (sendTempMsssage, postCallCard).
enum class cardDelivery { kInsertThenSend, kSendOnly };

// How upsertField treats a row whose key is already in the template: a
// unique key renames that row, a repeatable one appends another.
enum class fieldKey { kUnique, kRepeatable };

// The chat a weak hint goes to (sendWeakHintBegin): a group, or one peer.
enum class hintChat { kGroup, kPeer };

class msgProxy {
 public:
  msgProxy();

  // This client's own weak-hint handler: true when it hides the hint, which
  // then is not posted.
  using ownHintFn = std::function<bool(const std::string& body, const std::string& properties)>;
  // Set once when the plug-in assembles its members, before any other call.
  void init(pluginEnv* plugin, int8_t ownDeviceType, ownHintFn ownHint);

  // Command table and names.
  std::string codeToName(int32_t code) const;
  int32_t nameToCode(const std::string& name) const;
  static bool isMultiName(const std::string& name);
  static bool isP2P(const std::string& text);

  // Wire form.
  bool transCmd2Json(const mrtcCmd& cmd, std::string& out) const;
  bool transJson2Cmd(const std::string& text, mrtcCmd& cmd) const;

  // Sending.
  bool sendMessage(int64_t tarId, int16_t type, std::string msg, std::vector<int64_t> limitRange,
                   const sendOptions& options);
  void setLimitRange(bool on);
  bool limitRange() const { return limitRangeOn_.load(); }

  // The request names the group, the callees or invitees (selects), those
  // left out (outMembers) and their initial states; the talk all the rest.
  bool sendMsg_call(const std::vector<int64_t>& callees, const talkInfo& talk,
                    const mrtcCmd& request);
  bool sendMsg_invite(const std::vector<int64_t>& invitees, const talkInfo& talk,
                      const mrtcCmd& request);
  bool sendMsg_intoroom(const std::string& annotation, const talkInfo& talk, int32_t sendType);
  bool sendMsg_hungup(const std::string& annotation, const talkInfo& talk,
                      const std::string& extend, int16_t type, int32_t sendType);
  bool sendMsg_refuse(const std::string& annotation, const talkInfo& talk);
  bool sendMsg_querytalk(int64_t groupId, const std::string& roomId);
  bool sendMsg_reply_querytalk(int64_t askerId, int64_t targetId, const talkInfo& talk);
  bool sendMsg_time(const talkInfo& talk);
  bool sendMsg_version(const talkInfo& talk, const std::string& extend);
  bool sendMsg_reply(int64_t senderId, int64_t groupId, const std::string& roomId, int32_t result,
                     const std::string& annotation);
  bool sendRecall(int64_t target, const std::string& text, const std::vector<int64_t>& list);

  static int64_t getTargetId(const talkInfo& talk, int64_t ownId);
  static std::vector<int64_t> callMembers(const mrtcCmd& request);
  static void removeId(std::vector<int64_t>& list, const std::string& idText);
  // Properties of a message redirected to the service account: the given
  // flat object plus "targetID", all values strings, keys ascending.
  static std::string redirectProperties(const std::string& properties, int64_t target);
  // Undoes the service-account redirect on a received message.
  static void fixSystemSender(imsdk::hostMessage& msg);

  // Call cards.
  void fillTempMessage(std::string& out, const talkInfo& talk, const std::vector<int64_t>& callees,
                       const std::vector<std::string>& initState);
  bool sendTempMsssage(int64_t target, std::string card, const std::vector<int64_t>& limit,
                       cardDelivery delivery);
  void setMcallingTemplet(const std::string& settings) MRTC_EXCLUDES(templateLock_);
  void setLivingTemplet(const std::string& settings) MRTC_EXCLUDES(templateLock_);
  void upsertField(const std::string& key, fieldKey keyRule, const std::string& name,
                   const std::string& value, const std::string& name_eng,
                   const std::string& value_eng) MRTC_EXCLUDES(templateLock_);
  void removeAllFields() MRTC_EXCLUDES(templateLock_);
  bool addServerLabel(std::vector<tempField>& rows, const std::string& addr) const;
  static const std::vector<serverLabel>& serverLabels();
  // The first label whose prefix occurs in addr, or null.
  static const serverLabel* serverLabelOf(const std::string& addr);
  cardTemplate templateCopy() const MRTC_EXCLUDES(templateLock_);
  // The current template, never written while anyone holds it.
  std::shared_ptr<const cardTemplate> currentTemplate() const MRTC_EXCLUDES(templateLock_);

  // Weak hints.
  bool sendWeakHintBegin(int64_t operUser, int64_t groupOrPeer, const std::string& roomId,
                         std::string& properties, hintChat chat);
  bool sendWeakHintFinish(int64_t operUser, int64_t groupId, const std::string& roomId,
                          std::string& properties);
  bool sendVersionHint(int32_t kind, int32_t kase, int64_t operUser, int64_t target,
                       int8_t deviceType);

  // Shared texts and request data.
  int32_t readShareInfo(const std::string& text, shareInfo& info) const;
  bool sendShareText(int64_t target, const std::vector<int64_t>& limit, const std::string& body);
  static std::string readReqRoomId(const std::string& text);

  // Conference and live-stream cards.
  static bool readConfRequest(const std::string& text, confRequest& out);
  bool buildMicroconferInfo(std::string& out, const std::string& request, const std::string& stamp);
  bool buildUnbindconferInfo(std::string& out, const std::string& request);
  bool sendMicroconferCard(const std::string& request);
  bool sendLivingCard(const std::string& settings);
  int32_t reviseVnioMicroTemplet(std::string& card);
  // The same on a card already read into view; when the card is revised,
  // view is read again from the new text.
  int32_t reviseVnioMicroTemplet(std::string& card, cardView& view);
  static bool readCardInfo(const std::string& card, cardInfo& out);
  static bool readCardInfo(const cardView& view, cardInfo& out);

  // Readers of request texts.
  static bool parseCallExtend(const std::string& text, callExtend& out);
  static bool readCacheAnswer(const std::string& text, cacheAnswer& out);

 private:
  // Call and invite helpers: the repeated-ring entry, the body to send and
  // the copy kept for repeated rings, and the call card that follows the
  // command.
  void armRecall(const talkInfo& talk, const std::vector<int64_t>& list, std::string recallText);
  bool ringTexts(const mrtcCmd& cmd, std::string& text, std::string& recallText) const;
  void postCallCard(const talkInfo& talk, const std::vector<int64_t>& callees,
                    const std::vector<std::string>& initState, const std::vector<int64_t>& range,
                    cardDelivery delivery);
  // Puts a copy of the template, changed by edit(copy), in its place.
  template <typename Edit>
  void changeTemplate(Edit edit) MRTC_EXCLUDES(templateLock_);

 private:
  pluginEnv* plugin_ = nullptr;
  ownHintFn ownHint_;
  int8_t ownDeviceType_ = 1;
  std::atomic<bool> limitRangeOn_{false};
  bool unusedFlag_ = false;
  mutable imsdk::CLocker templateLock_;
  // Every plug-in starts with the one default template of the process and
  // gets a template of its own at its first change.
  std::shared_ptr<const cardTemplate> template_ MRTC_GUARDED_BY(templateLock_);
};

}  // namespace imsdkmrtc
