// Library-internal: how one kind of lookup list reads its stored query.
#pragma once

#include "DataLookups.h"

namespace orv::dust::detail {

struct ListTraits {
  ListKind kind;
  const char* class_id;
  const char* prefix;  // "CollieryList:"
  const char* query;
  // Fields joined with "; " (a null field joins as empty text), each list
  // ending with nullptr: the ListEntry text, and the first and second text
  // columns of the list-filling callback (second empty: none).
  const char* entry_fields[3];
  const char* fill_text1[3];
  const char* fill_text2[2];
  int fill_columns;  // the identifier is the last, hidden, column
};

}  // namespace orv::dust::detail
