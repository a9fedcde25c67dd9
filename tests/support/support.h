// What every test area shares: the virtual start time, one-line renderings
// of ids and of what the simulated host recorded, and a simulated network
// whose clients carry real plug-ins on virtual time.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "clock_control.h"
#include "plugin/mrtc_plugin.h"
#include "simhost.h"
#include "timer/timeout_record.h"

namespace testsupport {

// 2023-11-14 22:13:20 UTC, a whole second: host time / 1000 is a talk's
// begin time.
constexpr int64_t kStartMs = 1700000000000;

// "7,9" (or with another separator).
std::string join(const std::vector<int64_t>& ids, const char* sep = ",");
// "[7,9]"
inline std::string idText(const std::vector<int64_t>& ids) { return "[" + join(ids) + "]"; }

// "from 11 to 500 type 26 flag 1 limit [12,13]" for a sent or inserted message.
template <typename M>
std::string route(const M& m) {
  return "from " + std::to_string(m.senderId) + " to " + std::to_string(m.targetId) + " type " +
         std::to_string(m.msgType) + " flag " + std::to_string(m.msgFlag) + " limit " +
         idText(m.limitRange);
}

// type|annotation|sender|selects|group|owner|room|roomName|members|extend
std::string render(const simhost::UiEvent& e);
// op/category/type/key/members/duration[/refresh][/n<recallCnt>]
std::string render(const simhost::TimerPost& t);
// type>target[limit]:body
std::string render(const simhost::NetMessage& m);
// category/type/key/[members]/duration
std::string render(const imsdkmrtc::timeoutRecord& r);

template <typename T>
std::vector<std::string> renderAll(const std::vector<T>& items) {
  std::vector<std::string> out;
  for (const T& item : items) out.push_back(render(item));
  return out;
}

// Row names of the parameterised tests.
template <typename Row>
std::string rowName(const ::testing::TestParamInfo<Row>& info) {
  return info.param.name;
}

// A simulated network on virtual time. Its plug-ins' timer threads are
// stopped and left to end before the plug-ins go.
class Site {
 public:
  explicit Site(int64_t startMs = kStartMs) { commlib::useVirtualTime(startMs); }
  ~Site();

  // A device of the user carrying a fresh plug-in that reports
  // `pluginDevice` (the client's own device type when negative).
  simhost::Client& add(const std::string& name, int64_t userId, uint8_t deviceType = 1,
                       int pluginDevice = -1);
  static imsdkmrtc::mrtc_plugin& plugin(simhost::Client& client) {
    return *static_cast<imsdkmrtc::mrtc_plugin*>(client.plugin());
  }
  // Moves the clock, delivering messages at every step.
  void advance(int64_t ms);

  simhost::Network net;

 private:
  std::vector<std::unique_ptr<imsdkmrtc::mrtc_plugin>> plugins_;
};

}  // namespace testsupport
