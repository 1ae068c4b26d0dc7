#pragma once
// What a LibraryIndex holds, shared by the files that make up its jobs (the update in
// LibraryIndex.cpp, the queries in IndexQueries.cpp).

#include <memory>

#include "library/IndexDatabase.h"
#include "library/IndexWriter.h"
#include "library/LibraryIndex.h"

namespace library {

struct LibraryIndex::Impl {
  QString given;  // what the index was named by
  IndexLocation location;
  QString locationError;  // what was given cannot name an index
  std::unique_ptr<IndexDatabase> db;
  QString host = HostName();
  KnownWords known;
  mutable QString error;
  mutable bool unreachable = false;

  // Notes a failure for Error() and Unreachable().
  void Failed(const DbError& e) const {
    error = e.text;
    unreachable = e.kind == DbFailure::Unreachable;
  }
};

}  // namespace library
