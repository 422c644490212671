#include <gtest/gtest.h>

#include "OrvError.h"
#include "Registry.h"

namespace orv {
namespace {

class StandIn : public Component {
 public:
  std::string ClassName() const override { return "StandIn"; }
};

TEST(Registry, LoadsTheLibraryNamedByThePrefix) {
  EXPECT_EQ(LibraryForClass("OrvDust.DustModel"), "liborvdust.so");
  auto obj = CreateObject("OrvTestComponent.Greeter");
  ASSERT_NE(obj, nullptr);
  EXPECT_EQ(obj->ClassName(), "OrvTestComponent.Greeter");
}

TEST(Registry, UnknownClassesFailWith429) {
  for (const char* id : {"OrvTestComponent.Nobody", "NoSuchLib.Thing", "plain"}) {
    try {
      CreateObject(id);
      ADD_FAILURE() << id;
    } catch (const OrvError& e) {
      EXPECT_EQ(e.Number(), 429);
      EXPECT_EQ(e.Source(), "CreateObject");
      EXPECT_NE(e.Description().find(id), std::string::npos) << e.Description();
    }
  }
}

TEST(Registry, AFailedCreationInsideTheLibraryReachesTheCallerAsItWas) {
  try {
    CreateObject("OrvTestComponent.Broken");
    ADD_FAILURE();
  } catch (const OrvError& e) {
    EXPECT_EQ(e.Number(), 9100);
    EXPECT_EQ(e.Source(), "Broken:Initialize");
    EXPECT_EQ(e.Description(), "Dust model database not initialised");
  }
  // The kept failure is taken: a class simply not served is 429 again.
  try {
    CreateObject("OrvTestComponent.Nobody");
    ADD_FAILURE();
  } catch (const OrvError& e) {
    EXPECT_EQ(e.Number(), 429);
  }
}

// A stand-in registered for a class is served instead of its library's
// class; once removed, the library's class is served again.
TEST(Registry, RegisteredFactoriesTakePrecedenceAndCanBeRemoved) {
  RegisterFactory("OrvTestComponent.Greeter", [] { return std::make_shared<StandIn>(); });
  EXPECT_EQ(CreateObject("ORVTESTCOMPONENT.GREETER")->ClassName(), "StandIn");
  RegisterFactory("OrvTestComponent.Greeter", nullptr);
  EXPECT_EQ(CreateObject("OrvTestComponent.Greeter")->ClassName(), "OrvTestComponent.Greeter");
}

}  // namespace
}  // namespace orv
