// Texts of the media-server lookup: configuration keys and log formats.
#pragma once

namespace imsdkmrtc {
namespace texts::slb {

constexpr char kFnGetMultiServer[] = "imsdkmrtc::slbServer::getMultiServer";
constexpr char kFnParseApHost[] = "imsdkmrtc::slbServer::parseApHostNetId";

// Configuration and pre-login keys.
constexpr char kDefaultPort[] = ":10670";
constexpr const char* kPerNetworkKeys[] = {"mediaServerUrl_", "mediaServerAddr_", "turnServerUrl_",
                                           "turnServerAddr_"};
constexpr char kKeyNetId[] = "netId";
constexpr char kKeyApHost[] = "apHost";
constexpr char kKeyMediaServerAddr[] = "mediaServerAddr";
constexpr char kConfigValue[] = "value";
constexpr char kConfigExtend[] = "extend";

// Log formats.
constexpr char kLogApNull[] = "ap null, oriJson=%s.";
constexpr char kLogPreInfo[] = "preinfo:%s, ap=%s, netId=%s.";
constexpr char kLogChannel[] = "mrtc multiServer mchannel=%s.";
constexpr char kLogMulti[] = "multiServer multi=%s.";
constexpr char kLogSingle[] = "multiServer single=%s.";
constexpr char kLogBlank[] = "multiServer blank %s.";
constexpr char kLogSingleKeyBlank[] = "multiServer single key blank %s.";
constexpr char kLogAddr[] = "multiServer addr=%s.";

}  // namespace texts::slb
}  // namespace imsdkmrtc
