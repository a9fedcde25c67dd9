// Types of the IM messages the plug-in sends and reads.
#pragma once

#include <cstdint>

namespace imsdkmrtc {

enum msgType : int16_t {
  kMsgTypeShareText = 2,  // plain shared text
  kMsgTypeWeakHint = 8,   // grey notice in the chat
  kMsgTypeAll = 14,       // signalling every member of the chat processes
  kMsgTypeFew = 15,       // signalling for a few users, or informative only
  kMsgTypeCard = 26,      // chat card (template message)
};

}  // namespace imsdkmrtc
