// Log texts and fixed numbers of the timer queue and its worker thread.
#pragma once

#include "plugin/log_formats.h"

#include <cstdint>

namespace imsdkmrtc {
namespace texts::timer {

constexpr const char* kFuncOnTimeout = "imsdkmrtc::pluginOther::onTimeout";
constexpr const char* kFuncTimer = "imsdkmrtc::pluginOther::timer";
constexpr const char* kFuncDotick = "imsdkmrtc::pluginOther::dotick";
constexpr const char* kFuncStart = "imsdkmrtc::pluginOther::startWorker";

constexpr const char* kThreadBegin = "thread: timer begin.";
constexpr const char* kThreadEnd = "thread: timer end.";
constexpr const char* kOneTimeout = "onOther: one timeout type=%d.";
constexpr const char* kExitThread = "onOther: exit timeout thread.";
constexpr const char* kStartFailed = "thread: timer start failed.";

}  // namespace texts::timer

// One tick of the worker thread.
constexpr int64_t kTimerTickMs = 3000;
// Bounds of the removal loops: passes per member, records per category.
constexpr int kMemberRemovePasses = 50;
constexpr int kCategoryRemoveLimit = 20;

}  // namespace imsdkmrtc
