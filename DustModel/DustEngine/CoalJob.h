// One period of work at one colliery in one job type: the colliery, the first
// and last year, the job factor and the respirator factor, resolved from the
// dust data database as soon as an identifier or code is assigned, and the
// per-job results that the calculation writes back.
//
// Every field starts as 0, false or the empty text. Assigning CollieryID,
// JobFactorCode, JobFactorID or RespiratorFactorID replaces every field of
// that group: found, or cleared (then a non-zero identifier or non-empty code
// fails with error 380, source "CoalJob:Property Let <name>"). The lookups
// need the thread's dust data connection (modGlobals.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "Component.h"
#include "detail/OrderWatch.h"

namespace orv::dust {

class CoalJob : public orv::Component {
 public:
  static constexpr const char* kClassName = "OrvDust.CoalJob";
  std::string ClassName() const override { return kClassName; }

  // --- colliery -----------------------------------------------------------
  const std::string& Colliery() const { return colliery_; }
  const std::string& CoalArea() const { return coal_area_; }
  int32_t CollieryID() const { return colliery_id_; }
  void SetCollieryID(int32_t v);  // looks the colliery up
  const std::string& PitName() const { return pit_name_; }
  void SetPitName(std::string v) { pit_name_ = std::move(v); }

  // --- years --------------------------------------------------------------
  int16_t StartYear() const { return start_year_; }
  void SetStartYear(int16_t v) {
    if (v != start_year_) order_.BeforeChange();
    start_year_ = v;
  }
  int16_t EndYear() const { return end_year_; }
  void SetEndYear(int16_t v) {
    if (v != end_year_) order_.BeforeChange();
    end_year_ = v;
  }
  // Set by the collection that holds the job: told before the years change.
  void WatchOrder(std::weak_ptr<const detail::OrderWatch::Hook> hook) {
    order_.Watch(std::move(hook));
  }

  // --- job factor ---------------------------------------------------------
  const std::string& JobFactorCode() const { return job_factor_code_; }
  void SetJobFactorCode(std::string_view c);  // trimmed, upper case, looked up
  int32_t JobFactorID() const { return job_factor_id_; }
  void SetJobFactorID(int32_t v);  // looked up
  float JobFactor() const { return job_factor_; }
  const std::string& JobFactorText() const { return job_factor_text_; }
  const std::string& Surface() const { return surface_; }  // "Y": surface work
  float Uplift() const { return uplift_; }
  float JobDustyTimeFactor() const { return job_dusty_time_factor_; }
  bool NonCHA() const { return non_cha_; }
  bool NonCHACheck() const { return non_cha_check_; }
  float YearsPastClose() const { return years_past_close_; }

  // --- respirator factor --------------------------------------------------
  int16_t RespiratorFactorID() const { return resp_factor_id_; }
  void SetRespiratorFactorID(int16_t v);  // looked up
  float RespFactor() const { return resp_factor_; }
  const std::string& RespiratorFactorText() const { return resp_factor_text_; }
  const std::string& RespSurface() const { return resp_surface_; }
  int16_t RespStartYear() const { return resp_start_year_; }
  int16_t RespEndYear() const { return resp_end_year_; }
  float RespStartYearVal() const { return resp_start_year_val_; }
  float RespEndYearVal() const { return resp_end_year_val_; }

  // --- the host's own value and the collection key ------------------------
  int32_t ItemData() const { return item_data_; }
  void SetItemData(int32_t v) { item_data_ = v; }
  const std::string& Key() const { return key_; }
  void SetKey(std::string v) { key_ = std::move(v); }

  // The colliery's open years (GetOpenRange) against the job's years: empty
  // when the job fits, otherwise "Records show colliery <name> only opened in
  // <start>" (colliery without closing year) or "... was open between <start>
  // and <end>". Failures: source "CoalJob:OpenRangeCheck".
  std::string OpenRangeCheck();

  // --- per-job results, written by the calculation ------------------------
  float StrikeYears() const { return strike_years_; }
  void SetStrikeYears(float v) { strike_years_ = v; }
  float YearsAfterClosure() const { return years_after_closure_; }
  void SetYearsAfterClosure(float v) { years_after_closure_ = v; }
  float WorkingYears() const { return working_years_; }
  void SetWorkingYears(float v) { working_years_ = v; }
  float EmployedYears() const { return employed_years_; }
  void SetEmployedYears(float v) { employed_years_ = v; }
  float AverageWeightedAnnualPXRScore() const { return avg_weighted_annual_pxr_; }
  void SetAverageWeightedAnnualPXRScore(float v) { avg_weighted_annual_pxr_ = v; }
  float AverageAnnualDustInsultUnits() const { return avg_annual_dust_insult_; }
  void SetAverageAnnualDustInsultUnits(float v) { avg_annual_dust_insult_ = v; }
  float CumulativeDustInsultUnits() const { return cum_dust_insult_; }
  void SetCumulativeDustInsultUnits(float v) { cum_dust_insult_ = v; }
  float CumulativeWeightedDustInsultUnits() const { return cum_weighted_dust_insult_; }
  void SetCumulativeWeightedDustInsultUnits(float v) { cum_weighted_dust_insult_ = v; }
  float CumulativeWgtDustInsultUnitsPostLimit() const { return cum_wgt_post_limit_; }
  void SetCumulativeWgtDustInsultUnitsPostLimit(float v) { cum_wgt_post_limit_ = v; }
  float TortiousPostLimit() const { return tortious_post_limit_; }
  void SetTortiousPostLimit(float v) { tortious_post_limit_ = v; }

  // --- library-internal ---------------------------------------------------
  // Stores the ten job-factor values as given (no lookup).
  void SetJobFactor(int32_t JobFactorID, std::string JobCode, float JobFactor, std::string JobDescr,
                    std::string JobSurface, float Uplift, float DustyTime, bool NonCHA,
                    bool NonCHACheck, float YearsPastClose);
  // Stores the eight respirator values as given; an identifier outside the
  // 16-bit range fails with error 6 (overflow).
  void SetRespFactor(int32_t RespFactorID, float RespFactor, std::string RespDescr,
                     std::string RespSurface, int16_t RespStartYear, int16_t RespEndYear,
                     float RespStartYearVal, float RespEndYearVal);
  int32_t LiabilitySplitType() const { return liability_split_type_; }
  void SetLiabilitySplitType(int32_t v) { liability_split_type_ = v; }
  const std::string& LiabilitySplitDescr() const { return liability_split_descr_; }
  void SetLiabilitySplitDescr(std::string v) { liability_split_descr_ = std::move(v); }
  // The text of the last OpenRangeCheck.
  const std::string& LastOpenRangeMessage() const { return open_range_message_; }

 private:
  void ClearJobFactor();
  void ClearRespFactor();

  std::string key_;
  int32_t item_data_ = 0;
  int32_t colliery_id_ = 0;
  std::string colliery_;
  std::string coal_area_;
  std::string pit_name_;
  int16_t start_year_ = 0;
  int16_t end_year_ = 0;
  detail::OrderWatch order_;

  int32_t job_factor_id_ = 0;
  std::string job_factor_code_;
  float job_factor_ = 0;
  std::string job_factor_text_;
  std::string surface_;
  float uplift_ = 0;
  float job_dusty_time_factor_ = 0;
  bool non_cha_ = false;
  bool non_cha_check_ = false;
  float years_past_close_ = 0;

  int16_t resp_factor_id_ = 0;
  float resp_factor_ = 0;
  std::string resp_factor_text_;
  std::string resp_surface_;
  int16_t resp_start_year_ = 0;
  int16_t resp_end_year_ = 0;
  float resp_start_year_val_ = 0;
  float resp_end_year_val_ = 0;

  int16_t open_start_ = 0;
  int16_t open_end_ = 0;
  std::string open_range_message_;

  float strike_years_ = 0;
  float years_after_closure_ = 0;
  float working_years_ = 0;
  float employed_years_ = 0;
  float avg_weighted_annual_pxr_ = 0;
  float avg_annual_dust_insult_ = 0;
  float cum_dust_insult_ = 0;
  float cum_weighted_dust_insult_ = 0;
  float cum_wgt_post_limit_ = 0;
  float tortious_post_limit_ = 0;
  int32_t liability_split_type_ = 0;
  std::string liability_split_descr_;
};

}  // namespace orv::dust
