#include "notify/crossing_rule.h"

namespace imsdkmrtc {

bool crossingRuleOn() {
#ifdef MRTC_CROSSING_RULE_OFF
  return false;
#else
  return true;
#endif
}

}  // namespace imsdkmrtc
