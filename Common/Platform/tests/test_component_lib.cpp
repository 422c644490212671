// A tiny component library used to test loading by class identifier.
#include "Component.h"
#include "OrvError.h"

namespace {
class Greeter : public orv::Component {
 public:
  std::string ClassName() const override { return "OrvTestComponent.Greeter"; }
};

orv::Component* Make(std::string_view class_id) {
  if (class_id == "OrvTestComponent.Greeter") return new Greeter;
  // A class whose creation fails, as an engine list created too early does.
  if (class_id == "OrvTestComponent.Broken")
    throw orv::OrvError(9100, "Broken:Initialize", "Dust model database not initialised");
  return nullptr;
}
}  // namespace

ORV_EXPORT orv::Component* OrvCreateObject(const char* class_id) {
  return orv::ServeComponent(class_id, &Make);
}
