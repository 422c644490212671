// A tiny component library used to test loading by class identifier.
#include <cstring>

#include "Component.h"

namespace {
class Greeter : public orv::Component {
 public:
  std::string ClassName() const override { return "OrvTestComponent.Greeter"; }
};
}  // namespace

ORV_EXPORT orv::Component* OrvCreateObject(const char* class_id) {
  if (std::strcmp(class_id, "OrvTestComponent.Greeter") == 0) return new Greeter;
  return nullptr;
}
