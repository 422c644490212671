// The library's class factory: "OrvDustO.Output".
#include "Component.h"
#include "Output.h"
#include "Text.h"

ORV_EXPORT orv::Component* OrvCreateObject(const char* class_id) {
  try {
    if (class_id && orv::IEquals(class_id, orv::dusto::kOutputClassId))
      return new orv::dusto::Output();
  } catch (...) {
    // Nothing may cross the C boundary; the registry reports the class as
    // not created.
  }
  return nullptr;
}
