// Invariants for applications that a person drives, checked over a run's
// timeline next to those of invariants.h:
// - "nobody_left_busy": once every talk is over for a user (each of its
//   clients hung up, heard the talk finish, or never took part), a fresh call
//   that names the user rings each of its clients: none is still busy with a
//   dead talk. A card join counts as a talk only once the members answered
//   it (event 10) or for the few seconds it waits for their answer.
// - "no_throw_out": a client that answered a room (answer, or a join from the
//   board or the card) is not ended by its ring running out while it is in.
// - "one_finish_notice": a group talk that ended for everybody, every member
//   that was in it leaving with a hang-up, gets its finish notice (at least
//   one; "one_finish_hint" forbids a second).
// Faults excuse them where they make the promise impossible:
// - "nobody_left_busy" is not checked for calls whose user crashed, was cut
//   off, switched calls off or had messages of the room lost or held back.
// - "one_finish_notice": a member crashed or was cut off; a message to a
//   member was lost, late or repeated; or a member left while another
//   member's leave had not been reported to it (media reports lost or late).
#pragma once

#include <vector>

#include "invariants/invariants.h"

namespace mrtcsim {

void checkBusyInvariants(const Scenario& scenario, const RunResult& run,
                         std::vector<Violation>& out);

}  // namespace mrtcsim
