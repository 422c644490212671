// A stored query of a dust data database as its schema installs it: the
// name callers look it up by, its parameters with their types, its SQL, and
// one line on what it returns or does (for the documentation and check).
#pragma once

namespace orv::dustdata {

struct StoredQuery {
  const char* name;
  const char* parameters;  // "WhatCollieryID Long; WhatYear Integer"
  const char* sql;
  const char* returns;
};

}  // namespace orv::dustdata
