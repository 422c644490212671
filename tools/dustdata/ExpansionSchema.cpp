// Working tables and stored queries of the matrix expansion. Nothing yet:
// the expansion's developer fills this in.
#include "ExpansionSchema.h"

#include "Database.h"

namespace orv::dustdata {

void InstallExpansionSchema(orv::db::Database& /*db*/) {}

}  // namespace orv::dustdata
