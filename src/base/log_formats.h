// Log formats shared by every subsystem, and those of the plug-in's own
// lifecycle. Each subsystem keeps its other formats in its text header.
#pragma once

namespace imsdkmrtc {
namespace texts {

// Entry and exit lines of the handlers.
constexpr char kLogBegin[] = "THIS:%d, FUNCTION:%s=>BEGIN";
constexpr char kLogEnd[] = "THIS:%d, FUNCTION:%s=>END";

// Lifecycle.
constexpr char kFnOnPostServer[] = "imsdkmrtc::mrtc_plugin::onpostServer";
constexpr char kFnOnOther[] = "imsdkmrtc::mrtc_plugin::onOther";
constexpr char kFnIsTimeout[] = "imsdkmrtc::mrtc_plugin::isTimeout";
constexpr char kLogPreLogin[] = "listen prelogin logo=%s 20210527a.";
constexpr char kLogLogin[] = "listen login mrtcver=%s.";
constexpr char kLogRegAddr[] = "regAddr src_ip=%s, src_port=%d.";
constexpr char kLogRegAddrError[] = "regAddr error.";
constexpr char kLogIsTimeout[] = "isTimeout localtime=%lld,msgtime=%lld, subtime=%d, ret=%d.";
constexpr char kLogIsTimeoutError[] = "isTimeout time error: %s";

}  // namespace texts
}  // namespace imsdkmrtc
