#pragma once
// The library on the command line: "Ambrel --search", "--check --library", "--export --library"
// and "--library" without a window. Each finds the media, brings the index up to date (with a
// progress line on the terminal, when standard error is one) and prints its report.

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace library {

// index: what --index named ("sqlite:PATH" or a PostgreSQL URI); empty for the one remembered,
// else the cache file. A server out of reach, at the start or while it works, is status 2.
//
// "Ambrel --search QUERY [--json] [--library DIR...] [--index URL]": 0 hits found, 1 none, 2
// usage error, no library or no index.
int RunSearch(const QString& query, bool json, const QStringList& folders,
              const QString& index = QString());
// "Ambrel --check [--json] --library DIR...": one report with a section per medium; 0 no
// problem, 1 problems, 2 no library or no medium found.
int RunLibraryCheck(const QStringList& folders, bool json);
// "Ambrel --export OUTDIR [--force] --library DIR...": every medium to OUTDIR/<medium>/ and the
// collection's page OUTDIR/index.html; 0 all exported, 1 problems, 2 usage error or no library.
int RunLibraryExport(const QString& outDir, bool force, const QStringList& folders,
                     const QString& index = QString());
// "Ambrel --library DIR..." where no window can be shown: updates the index and lists the media.
int RunLibraryListing(const QStringList& folders, const QString& index = QString());

}  // namespace library
