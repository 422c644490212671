#include "EngineObjects.h"

#include "OrvError.h"
#include "Registry.h"

namespace orv::tarnby {

template <typename T>
std::shared_ptr<T> CreateAs(const char* class_id) {
  std::shared_ptr<T> object = As<T>(CreateObject(class_id));
  if (!object) {
    throw OrvError(err::kCantCreateObject, "CreateObject",
                   std::string("Component can't create object: ") + class_id);
  }
  return object;
}

template std::shared_ptr<dust::DustModel> CreateAs<dust::DustModel>(const char*);
template std::shared_ptr<dust::colSmokeEntry> CreateAs<dust::colSmokeEntry>(const char*);
template std::shared_ptr<dust::SmokeEntry> CreateAs<dust::SmokeEntry>(const char*);
template std::shared_ptr<dust::colCoalJobs> CreateAs<dust::colCoalJobs>(const char*);

void EngineObjects::Create(const std::string& dust_database, int16_t jurisdiction,
                           std::string& step) {
  step = "Creating dust engine object";
  model = CreateAs<dust::DustModel>("OrvDust.DustModel");
  step = "Setting dust engine object database to: " + dust_database;
  model->SetDustDatabase(dust_database);
  smoking = CreateAs<dust::colSmokeEntry>("OrvDust.colSmokeEntry");
  smoke_entry = CreateAs<dust::SmokeEntry>("OrvDust.SmokeEntry");
  jobs = CreateAs<dust::colCoalJobs>("OrvDust.colCoalJobs");
  step = "Setting dust engine object jurisdiction to: " + std::to_string(jurisdiction);
  model->SetJurisdiction(jurisdiction);
}

}  // namespace orv::tarnby
