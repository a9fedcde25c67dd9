// Device types of a user's clients, with the names the logs and the
// command bodies give them.
#pragma once

#include <cstdint>

namespace imsdkmrtc {

enum deviceType : int32_t {
  kDevicePc = 1,
  kDeviceAndroid = 2,
  kDeviceIos = 3,
  kDeviceMerivox = 4,
  kDeviceH5 = 5,
  kDeviceMediaServer = 6,  // a media server taking part in a call
};

struct deviceTypeRow {
  int32_t type;
  const char* name;
};

constexpr deviceTypeRow kDeviceTypeNames[] = {
    {kDevicePc, "pc"},           {kDeviceAndroid, "android"}, {kDeviceIos, "ios"},
    {kDeviceMerivox, "merivox"}, {kDeviceH5, "h5"},           {kDeviceMediaServer, "mediaserver"},
};

}  // namespace imsdkmrtc
