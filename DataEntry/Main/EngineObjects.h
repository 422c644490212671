// The calculation engine's objects the main form keeps for the whole run,
// each created by its class identifier: the dust model, the smoking
// collection, a smoking entry and the job collection.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "DustModel.h"
#include "SmokeEntry.h"
#include "colCoalJobs.h"
#include "colSmokeEntry.h"

namespace orv::tarnby {

struct EngineObjects {
  std::shared_ptr<dust::DustModel> model;
  std::shared_ptr<dust::colSmokeEntry> smoking;
  std::shared_ptr<dust::SmokeEntry> smoke_entry;
  std::shared_ptr<dust::colCoalJobs> jobs;
  // The job most recently added to the job collection.
  dust::CoalJobPtr current_job;

  // Creates the objects and opens the dust data database, setting `step`
  // to the text of each step ("Creating dust engine object", ...). Failures
  // are raised; the objects made so far stay.
  void Create(const std::string& dust_database, int16_t jurisdiction, std::string& step);
};

// Creates a component by class identifier and answers it as T; error 429
// when the object is not of that class.
template <typename T>
std::shared_ptr<T> CreateAs(const char* class_id);

}  // namespace orv::tarnby
