// Components are created by class identifier ("OrvDust.DustModel",
// "OrvDustM.MakeMatrix", "OrvDustO.Output" ...). Every class that can be
// created that way derives from Component; callers reach its members through
// the C++ interface they expect, found with As<Interface>().
#pragma once

#include <exception>
#include <memory>
#include <string>
#include <string_view>

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
// nullptr for a class identifier it does not serve. Its body is one call of
// orv::ServeComponent, so that every library behaves alike:
//   ORV_EXPORT orv::Component* OrvCreateObject(const char* class_id) {
//     return orv::ServeComponent(class_id, &MakeOurClass);
//   }
#define ORV_COMPONENT_FACTORY_SYMBOL "OrvCreateObject"
#define ORV_EXPORT extern "C" __attribute__((visibility("default")))

namespace orv {

// Makes the class named by the identifier, or answers nullptr for one the
// library does not serve. May throw.
using ComponentMaker = Component* (*)(std::string_view class_id);

// The body of a component library's factory. Nothing thrown by `make` crosses
// the C boundary: the failure is kept for this thread and nullptr returned,
// and orv::CreateObject (Registry.h) raises that failure as it was, so the
// real cause (a 9100 of an engine list created too early, say) reaches the
// caller. A null class identifier is served nothing.
Component* ServeComponent(const char* class_id, ComponentMaker make) noexcept;

// The failure kept by the last ServeComponent on this thread that failed,
// taken (it is cleared); null when there is none.
std::exception_ptr TakeComponentFailure() noexcept;

}  // namespace orv
