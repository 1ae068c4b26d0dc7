#include "preserver/PreserveRequest.h"

namespace preserver {

int BagSummary::ExitCode() const {
  if (status != Status::Complete) return 1;
  for (const MasterOutcome& m : masters) {
    if (!m.proved) return 1;
  }
  return 0;
}

}  // namespace preserver
