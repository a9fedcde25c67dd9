// Types of the events posted to the application (the first byte of an event
// block). The notification handlers raise most of them; the request handlers
// raise the finished, talk-state and hint events.
#pragma once

#include <cstdint>

namespace imsdkmrtc {

enum uiEventType : uint8_t {
  kEventCall = 1,
  kEventInvite = 2,
  kEventIntoRoom = 3,
  kEventHungup = 4,
  kEventFinished = 5,
  kEventNoAnswer = 6,
  kEventReply = 7,
  kEventBoardSummary = 8,
  kEventBoardEmpty = 9,
  kEventTalkState = 10,
  kEventConferenceFinished = 13,
  kEventHint = 21,
  kEventCard = 22,
};

}  // namespace imsdkmrtc
