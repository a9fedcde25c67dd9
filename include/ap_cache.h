// Access-point cache request types (host request 208, net_cmd_qCaches).
#pragma once

#include <cstdint>
#include <string>

namespace com {
namespace zbq {
namespace im {
namespace ap {

struct CacheParam {
  int32_t op = 0;
  std::string key;
  std::string field1;
  std::string field2;
  bool hasOp = false;
  bool hasKey = false;
};

struct SessionTicket {
  int64_t value = 0;
  std::string text;
  bool hasValue = false;
  bool hasText = false;
  CacheParam param;
  bool hasParam = false;
};

struct CacheRet {
  int32_t code = 0;
  std::string value;
};

}  // namespace ap
}  // namespace im
}  // namespace zbq
}  // namespace com
