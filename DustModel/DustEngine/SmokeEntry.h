// One period of smoking in one smoking category. The category is looked up
// in the dust data database by code or identifier; the entry turns itself
// into a smoking value only when a category was found and its years were
// given (assigned, or computed when Years is read).
//
// Creating an entry before the thread's dust data connection is ready fails
// with error 9100 "Dust model database not initialised", source
// "SmokeEntry:Initialize". A code or identifier not found fails with 380
// after clearing the category, source "SmokeEntry:Property Let Code" or
// "SmokeEntry:Property Let ID".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "Component.h"
#include "detail/OrderWatch.h"

namespace orv::dust {

class SmokeEntry : public orv::Component {
 public:
  static constexpr const char* kClassName = "OrvDust.SmokeEntry";
  SmokeEntry();
  std::string ClassName() const override { return kClassName; }

  // Reading computes Years = EndYear - StartYear (and marks the years as
  // given) when Years is 0 and both years are not 0.
  int16_t Years();
  void SetYears(int16_t v);  // marks the years as given
  int16_t StartYear() const { return start_year_; }
  void SetStartYear(int16_t v);  // recomputes Years when both years are set
  int16_t EndYear() const { return end_year_; }
  void SetEndYear(int16_t v);
  // Set by the collection that holds the entry: told before StartYear changes.
  void WatchOrder(std::weak_ptr<const detail::OrderWatch::Hook> hook) {
    order_.Watch(std::move(hook));
  }

  void SetCode(std::string_view c);  // trimmed, upper case, looked up
  void SetID(int32_t v);             // looked up
  const std::string& Code() const { return code_; }
  int32_t ID() const { return id_; }
  const std::string& SmokeText() const { return smoke_text_; }
  float Factor() const { return factor_; }

  // Years x AnnSmokeUnit x factor when Years > 0, a category was found and
  // the years were given; otherwise 0.
  float SmokeValue();

  int32_t ItemData() const { return item_data_; }
  void SetItemData(int32_t v) { item_data_ = v; }

  bool CategoryFound() const { return category_found_; }
  bool YearsGiven() const { return years_given_; }

 private:
  void ClearCategory();
  void ComputeYearsFromRange();

  int16_t years_ = 0;
  int16_t start_year_ = 0;
  int16_t end_year_ = 0;
  detail::OrderWatch order_;
  std::string code_;
  int32_t id_ = 0;
  std::string smoke_text_;
  float factor_ = 0;
  int32_t item_data_ = 0;
  bool category_found_ = false;
  bool years_given_ = false;
};

}  // namespace orv::dust
