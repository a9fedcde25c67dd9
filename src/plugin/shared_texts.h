// Texts every subsystem uses: the call kinds, the protocol version word and
// the entry and exit lines of the handlers. Kept once, here.
#pragma once

namespace imsdkmrtc {
namespace texts {

inline constexpr char kRtc[] = "rtc";
inline constexpr char kP2pConfer[] = "p2pconfer";
inline constexpr char kMicroConfer[] = "microconfer";
inline constexpr char kUnbindConfer[] = "unbindconfer";

inline constexpr char kProtocolVersion[] = "mrtc@1.8.8";

inline constexpr char kLogBegin[] = "THIS:%d, FUNCTION:%s=>BEGIN";
inline constexpr char kLogEnd[] = "THIS:%d, FUNCTION:%s=>END";

}  // namespace texts
}  // namespace imsdkmrtc
