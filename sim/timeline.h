// The simulator's record of what happened: one item per happening, stamped
// with virtual time, in the order the simulator observed it. Items are flat
// lists of named fields so that the text and JSON outputs and the scenario
// expectations all read them the same way.
// Not thread-safe: the runner fills it from its own thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "item.h"
#include "names.h"

namespace mrtcsim {

using codec::Field;
using codec::IdList;
using codec::Item;
using codec::renderJson;
using codec::Value;
using codec::valueJson;
using codec::valueText;
namespace kind = codec::kind;

struct TextOptions {
  bool withLogs = false;  // log lines and automatic keep-alives too
  size_t textLimit = 0;   // longer bodies and extends are cut (0: never)
};

// "[  12.500] alice    request 24003 intoroom ..." ; empty for items the
// text output leaves out.
std::string renderText(const Item& item, const TextOptions& options);

using codec::deviceName;
using codec::eventName;
using codec::requestName;
using codec::timeoutName;

}  // namespace mrtcsim
