// Log texts and fixed numbers of the timer queue and its worker thread.
#pragma once

#include <cstdint>

#include "base/log_formats.h"

namespace imsdkmrtc {
namespace texts::timer {

constexpr char kFuncOnTimeout[] = "imsdkmrtc::pluginOther::onTimeout";
constexpr char kFuncTimer[] = "imsdkmrtc::pluginOther::timer";
constexpr char kFuncDotick[] = "imsdkmrtc::pluginOther::dotick";
constexpr char kFuncStart[] = "imsdkmrtc::pluginOther::startWorker";

constexpr char kThreadBegin[] = "thread: timer begin.";
constexpr char kThreadEnd[] = "thread: timer end.";
constexpr char kOneTimeout[] = "onOther: one timeout type=%d.";
constexpr char kExitThread[] = "onOther: exit timeout thread.";
constexpr char kStartFailed[] = "thread: timer start failed.";
constexpr char kQueueFull[] = "onTimeout: queue full=%d, type=%d key=%s dropped.";

}  // namespace texts::timer

// One tick of the worker thread.
constexpr int64_t kTimerTickMs = 3000;
// Bounds of the removal loops: passes per member, records per category.
constexpr int kMemberRemovePasses = 50;
constexpr int kCategoryRemoveLimit = 20;
// Records queued at once. The queue holds the current talk's ring, wait,
// keep-alive and recall records (a few per invitation); received commands add
// to it, so it is bounded. An add to a full queue is dropped.
constexpr size_t kTimeoutQueueLimit = 256;
// Records a queue has room for from its first add: a call's ring, wait,
// keep-alive and recall, and a few more.
constexpr size_t kTimeoutQueueStart = 8;

}  // namespace imsdkmrtc
