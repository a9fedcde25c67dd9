// The machine-readable part of a weak hint: the body type, the keys of its
// properties text and the operation types. The signalling senders write them
// and the notify handlers read them back.
#pragma once

#include <cstdint>

namespace imsdkmrtc {

enum hintOperType : int32_t {
  kHintOperBegin = 21,   // a member started a voice call
  kHintOperFinish = 22,  // the voice call has ended
  // Version hints: who cannot answer whose call, and the advice given.
  kHintOperLocalNotified = 23,  // this client cannot answer; the peer was told
  kHintOperLocalUpgrade = 24,   // this client cannot answer; upgrade advised
  kHintOperPeerNotified = 25,   // the peer cannot answer; the peer was told
  kHintOperPeerUpgrade = 26,    // the peer cannot answer; upgrade advised
};

constexpr int32_t kHintBodyType = 12;

namespace texts {

constexpr char kKeyMsgBodyType[] = "msgBodyType";
constexpr char kKeyOperType[] = "operType";
constexpr char kKeyUsersInfo[] = "usersInfo";

}  // namespace texts
}  // namespace imsdkmrtc
