// Creation of the engine's classes by class identifier ("OrvDust.colCoalJobs",
// "OrvDust.DustModel" ...). A class joins the table from its own .cpp with a
// namespace-scope registrar:
//
//   static orv::dust::detail::EngineClassRegistrar r("OrvDust.CollieryList",
//                                                    [] { return new CollieryList; });
//
// The library exports OrvCreateObject, which orv::CreateObject (Registry.h)
// calls after loading liborvdust.so.
#pragma once

#include <functional>
#include <string_view>

#include "Component.h"

namespace orv::dust::detail {

// Makes a new object the caller owns. May throw (a list created before the
// connection is ready fails with 9100).
using EngineClassMaker = std::function<orv::Component*()>;

class EngineClassRegistrar {
 public:
  // Registers the maker under the class identifier (compared ignoring case).
  EngineClassRegistrar(std::string_view class_id, EngineClassMaker make);
};

// A new object of the class, or nullptr for an identifier the engine does not
// serve. Failures of the class's creation are raised as they come.
orv::Component* CreateEngineObject(std::string_view class_id);

}  // namespace orv::dust::detail

// The component library's factory (see Component.h).
ORV_EXPORT orv::Component* OrvCreateObject(const char* class_id);
