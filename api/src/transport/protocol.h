// The process-wide protocol switch (QrdGetProtocolAvail and friends).
#pragma once

namespace qrd {

// Forgets the computed availability and the preference (both 0 again), as in
// a process that has not been attached yet. For tests that check how the
// switch is computed from the native probe and HLV_PROTSEQ.
void resetProtocolSwitch();

} // namespace qrd
