// Device types of a user's clients, with the names the logs and the
// command bodies give them.
#pragma once

#include <cstdint>

namespace imsdkmrtc {

struct deviceTypeRow {
  int32_t type;
  const char* name;
};

constexpr deviceTypeRow kDeviceTypeNames[] = {
    {1, "pc"}, {2, "android"}, {3, "ios"}, {4, "merivox"}, {5, "h5"}, {6, "mediaserver"},
};

}  // namespace imsdkmrtc
