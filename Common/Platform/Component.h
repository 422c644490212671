// Components are created by class identifier ("OrvDust.DustModel",
// "OrvDustM.MakeMatrix", "OrvDustO.Output" ...). Every class that can be
// created that way derives from Component; callers reach its members through
// the C++ interface they expect, found with As<Interface>().
#pragma once

#include <memory>
#include <string>

namespace orv {

class Component {
 public:
  virtual ~Component() = default;
  // The class identifier the object was created under.
  virtual std::string ClassName() const = 0;
};

using ComponentPtr = std::shared_ptr<Component>;

// The interface `I` of a component, or nullptr when it does not offer it.
template <typename I>
std::shared_ptr<I> As(const ComponentPtr& c) {
  return std::dynamic_pointer_cast<I>(c);
}

}  // namespace orv

// A component library exports one factory with C linkage under this name:
//   extern "C" orv::Component* OrvCreateObject(const char* class_id);
// It returns a new object it owns no longer (the caller deletes it), or
// nullptr for a class identifier it does not serve.
#define ORV_COMPONENT_FACTORY_SYMBOL "OrvCreateObject"
#define ORV_EXPORT extern "C" __attribute__((visibility("default")))
