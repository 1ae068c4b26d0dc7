#pragma once
// "Ambrel --preserve" on the terminal: one bag per medium with a progress line on standard error
// (when it is a terminal), then the lines in which each bag's outcome is told, on the terminal and
// in the launcher's dialog alike.

#include <QString>
#include <QStringList>
#include <optional>

#include "preserver/Preserver.h"

namespace preserver {

// The lines the command prints for one bag (and the launcher's dialog shows).
QString FormatBagSummary(const BagSummary& summary);

// "Ambrel --preserve OUTDIR [--masters] [--force] [--medium DIR | DIR]": returns the exit code
// (0 every bag complete, 1 a bag incomplete or not made, 2 a usage error or a medium that cannot
// be read).
int RunPreserve(const std::optional<QString>& mediumFolder, const QString& outDir, bool masters,
                bool force);
// The same for several media (a library's): one bag each, in order; two media of one folder name
// get "<name>" and "<name>-2". A signal ends the bag in the making; the later ones are not begun.
int RunPreserveMedia(const QStringList& media, const QString& outDir, bool masters, bool force);

}  // namespace preserver
