// Life-cycle slots on the simulated host: pre-login, login, message ages,
// address registration and media server selection.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "clock_control.h"
#include "plugin/mrtc_plugin.h"
#include "simhost.h"
#include "support/support.h"
#include "tools.h"

namespace imsdkmrtc {
namespace {

constexpr int64_t kStart = testsupport::kStartMs;

class Lifecycle : public ::testing::Test {
 protected:
  std::string lastLog() const {
    auto logs = client_->logs();
    return logs.empty() ? std::string() : logs.back().text;
  }

  testsupport::Site site_;
  simhost::Client* client_ = &site_.add("pc", 1001);
  mrtc_plugin& plugin_ = testsupport::Site::plugin(*client_);
};

TEST_F(Lifecycle, PreLoginDropsTheActiveMarkOnlyAfterTenSeconds) {
  const std::pair<int64_t, uint8_t> cases[] = {
      {kStart - 10000, 1}, {kStart - 10001, 0}, {kStart + 5000, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first - kStart);
    plugin_.settings().activeFlag = 1;
    plugin_.settings().activeTime = c.first;
    client_->preLogin("logo-1");
    EXPECT_EQ(plugin_.settings().activeFlag, c.second);
  }
  EXPECT_TRUE(client_->hasLog("listen prelogin logo=logo-1 20210527a."));
}

TEST_F(Lifecycle, MessageAgeIsJudgedOnHostTime) {
  client_->config().timeOffsetMs = 0;
  const int64_t now = tools::get_mill_sec();
  struct Case {
    int64_t msgTime;
    int32_t lower;
    int32_t upper;
    bool timedOut;
  } cases[] = {
      {now + 60900, -60, 120, false},  // -60.9 s truncates to -60
      {now + 61000, -60, 120, true},   {now - 120999, -60, 120, false},
      {now - 121000, -60, 120, true},  {INT64_MIN + 65536, -60, 300, true},
      {now - 300000, -60, 300, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.msgTime);
    EXPECT_EQ(plugin_.isTimeout(c.msgTime, c.lower, c.upper), c.timedOut);
  }
  EXPECT_EQ(lastLog(), "isTimeout localtime=" + std::to_string(now) +
                           ",msgtime=" + std::to_string(now - 300000) + ", subtime=300, ret=0.");
  EXPECT_TRUE(plugin_.isTimeout(std::string(), -60, 120));
  EXPECT_EQ(lastLog(), "isTimeout time error: ");
  EXPECT_TRUE(plugin_.isTimeout(std::string("12a"), -60, 120));
  EXPECT_FALSE(plugin_.isTimeout(std::to_string(now), -60, 120));
}

struct ServerCase {
  const char* name;
  std::string desc;
  std::map<std::pair<std::string, std::string>, std::string> items;
  std::string address;
  std::string log;  // the line that tells how the address was chosen
};

TEST_F(Lifecycle, MediaServerSelection) {
  const std::string desc = R"({"netId":7,"apHost":"https:\/\/ap.example.net:443"})";
  // clang-format off
  const ServerCase cases[] = {
      {"per-network url", desc, {{{"mediaServerUrl_7", "value"}, "10.1.1.1:10670"}},
       "10.1.1.1:10670", "multiServer multi=10.1.1.1:10670."},
      {"per-network json", desc,
       {{{"mediaServerAddr_7", "value"}, R"({"mediaServerAddr":"10.1.1.2:9000"})"}},
       "10.1.1.2:9000", "multiServer multi=10.1.1.2:9000."},
      {"turn fallback keeps raw json", desc, {{{"turnServerAddr_7", "value"}, R"({"other":"x"})"}},
       R"({"other":"x"})", R"(multiServer multi={"other":"x"}.)"},
      {"nothing configured", desc, {}, "ap.example.net:10670",
       "multiServer blank ap.example.net:10670."},
      {"single plain", desc, {{{"mediaServerAddr", "extend"}, "media.example.net:10670"}},
       "media.example.net:10670", "multiServer addr=media.example.net:10670."},
      {"single json", desc,
       {{{"mediaServerAddr", "extend"}, R"({"mediaServerAddr":"10.2.2.2:1"})"}}, "10.2.2.2:1",
       "multiServer addr=10.2.2.2:1."},
      {"single json without key", desc, {{{"mediaServerAddr", "extend"}, R"({"x":"y"})"}},
       "ap.example.net:10670", "multiServer single key blank ap.example.net:10670."},
      {"plain slashes", R"({"netId":3,"apHost":"http://ap2.example.net:80"})", {},
       "ap2.example.net:10670", "multiServer blank ap2.example.net:10670."},
      {"bare host", R"({"netId":3,"apHost":"ap3"})", {}, "ap3:10670",
       "multiServer blank ap3:10670."},
      {"no access point", R"({"netId":3})", {}, ":10670", "multiServer blank :10670."},
  };
  // clang-format on
  for (const ServerCase& c : cases) {
    SCOPED_TRACE(c.name);
    client_->clearRecords();
    client_->config().preLoginDesc = c.desc;
    client_->config().configItems = c.items;
    EXPECT_EQ(plugin_.slb().getMultiServer(), c.address);
    EXPECT_TRUE(client_->hasLog(c.log));
  }
  client_->clearRecords();
  client_->config().preLoginDesc = R"({"netId":3})";
  plugin_.slb().getMultiServer();
  EXPECT_TRUE(client_->hasLog(R"(ap null, oriJson={"netId":3}.)"));
}

TEST_F(Lifecycle, AddressRegistrationSplitsHostAndPort) {
  client_->config().preLoginDesc = R"({"netId":7,"apHost":"ap.example.net"})";
  client_->registerAddress();
  EXPECT_TRUE(client_->hasLog("regAddr src_ip=ap.example.net, src_port=10670."));
  auto registered = client_->registered();
  ASSERT_EQ(registered.size(), 1u);
  EXPECT_EQ(registered[0].first, "ap.example.net");
  EXPECT_EQ(registered[0].second, 10670);

  // An address without a usable port is not registered.
  for (const char* addr : {"media.example.net", "media.example.net:", ":10670", "h:port"}) {
    SCOPED_TRACE(addr);
    client_->clearRecords();
    client_->config().configItems = {{{"mediaServerAddr", "extend"}, addr}};
    client_->config().preLoginDesc = R"({"netId":7})";
    client_->registerAddress();
    EXPECT_TRUE(client_->hasLog("regAddr error."));
    EXPECT_TRUE(client_->registered().empty());
  }
}

}  // namespace
}  // namespace imsdkmrtc
