#pragma once
// Preserving a medium as archives keep what they hold: a BagIt bag (RFC 8493) with every file
// of the medium byte for byte, SHA-512 manifests, the checker's report, a technical description
// of every recording and a log of what was done when; with masters, a lossless normalised copy
// of every recording whose losslessness is proved. The medium is read once and never written;
// everything after the copy reads the bag's own copy. A bag is filled under a temporary name and
// renamed when complete.

#include <QString>
#include <atomic>

#include "preserver/PreserveRequest.h"

namespace preserver {

// Preserves the medium at mediumRoot (a native folder holding Data/config.txt). progress is
// called on this thread. A set cancel flag stops within a block or a fraction of a second; the
// bag in the making is removed.
BagSummary PreserveMedium(const QString& mediumRoot, const PreserveRequest& request,
                          const PreserveProgressFn& progress = {},
                          const std::atomic<bool>* cancel = nullptr);

}  // namespace preserver
