// A library of its own that opens a database through the layer, as the
// engine and the matrix expansion do inside a program: loaded by the layer's
// tests to see that the program and the library share one layer.
#include "Database.h"

namespace {
orv::db::DatabasePtr g_held;
}  // namespace

extern "C" __attribute__((visibility("default"))) void OrvTestHoldExclusive(const char* path) {
  orv::db::OpenOptions options;
  options.exclusive = true;
  g_held = orv::db::OpenDatabase(path, options);
}

extern "C" __attribute__((visibility("default"))) void OrvTestRelease() { g_held.reset(); }
