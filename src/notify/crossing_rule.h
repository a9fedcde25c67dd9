// Whether this build resolves crossing one-to-one calls. Off only in the
// build that stands in for an older peer, which answers such a call busy
// like any other (compile definition MRTC_CROSSING_RULE_OFF).
#pragma once

namespace imsdkmrtc {

bool crossingRuleOn();

}  // namespace imsdkmrtc
