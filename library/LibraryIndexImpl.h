#pragma once
// What a LibraryIndex holds, shared by the files that make up its jobs (the update in
// LibraryIndex.cpp, the queries in IndexQueries.cpp).

#include "library/IndexDatabase.h"
#include "library/LibraryIndex.h"

namespace library {

struct LibraryIndex::Impl {
  explicit Impl(const QString& file) : db(file) {}
  IndexDatabase db;
};

}  // namespace library
