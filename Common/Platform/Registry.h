// Creates components by class identifier. The library that serves a class is
// named by the identifier's prefix ("OrvDust." -> liborvdust.so) and loaded
// on first use from, in order: the folders in ORV_COMPONENT_PATH
// (colon-separated), the folder of the running program, and the dynamic
// linker's own search. Factories registered in-process (tests, stand-ins)
// take precedence over libraries.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "Component.h"

namespace orv {

using ComponentFactory = std::function<ComponentPtr()>;

// Creates the class. Fails with error 429 (source "CreateObject") naming the
// class identifier and the reason when the library cannot be loaded or does
// not serve the class; when the class's own creation failed inside the
// library, with that failure as it was. Never returns nullptr.
ComponentPtr CreateObject(std::string_view class_id);

// Registers an in-process factory for a class identifier, replacing any
// earlier one. An empty factory removes the registration.
void RegisterFactory(std::string_view class_id, ComponentFactory factory);

// The library file a class identifier is served by ("liborvdust.so").
std::string LibraryForClass(std::string_view class_id);

}  // namespace orv
