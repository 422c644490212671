#include "HistoryLoader.h"

#include "DustModel.h"
#include "Numbers.h"

namespace orv::dust {

namespace {

CoalJobPtr AddUserFactorJob(colCoalJobs& jobs, const HistoryJob& j, const UserFactor& f) {
  return jobs.AddWithFactorsPastClosure(
      f.ID, f.Code, f.JobFactor, UserFactorJobText(f), "N", kUserFactorUplift, f.DustyTimeFactor,
      true, false, f.ID, f.RespFactor, UserFactorRespText(f), "N", f.StartYear, f.EndYear,
      f.StartYearVal, f.EndYearVal, j.Key, j.CollieryID, j.StartYear, j.EndYear, j.PitName,
      f.YearsPastClosure);
}

CoalJobPtr AddMissingUserFactorJob(colCoalJobs& jobs, const HistoryJob& j) {
  return jobs.AddWithFactorsPastClosure(j.JobFactorID, "??", 0, kMissingUserFactorText, "N", 0, 0,
                                        true, false, j.JobFactorID, 0, kMissingUserFactorText, "N",
                                        1900, 1900, 1.0f, 1.0f, j.Key, j.CollieryID, j.StartYear,
                                        j.EndYear, j.PitName, 0);
}

}  // namespace

std::string UserFactorJobText(const UserFactor& f) {
  return f.Descr + " (User defined: non CHA " + FormatPattern(f.JobFactor, "#.##") + " @ " +
         FormatPercent(f.DustyTimeFactor) + ")";
}

std::string UserFactorRespText(const UserFactor& f) {
  return f.Descr + " (User defined: non CHA " + FloatToText(f.RespFactor) + ")";
}

std::string FactorListText(const std::string& text) {
  const auto digit = [&](size_t i) {
    return i < text.size() && text[i] >= '0' && text[i] <= '9';
  };
  std::string out;
  out.reserve(text.size() + 4);
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '.') {
      out += c;
      continue;
    }
    const bool digit_before = i > 0 && digit(i - 1);
    const bool digit_after = digit(i + 1);
    if (!digit_before && digit_after) {
      out += "0.";
    } else if (digit_before && !digit_after) {
      // A whole number's trailing point; a sentence's full stop stays.
      if (i + 1 < text.size() && text[i + 1] != ' ' && text[i + 1] != ')') out += c;
    } else {
      out += c;
    }
  }
  return out;
}

CoalJobPtr AddJob(colCoalJobs& jobs, const HistoryJob& j) {
  if (j.user_factor) return AddUserFactorJob(jobs, j, *j.user_factor);
  if (j.missing_user_factor) return AddMissingUserFactorJob(jobs, j);
  return jobs.Add(j.Key, j.RespFactorID, j.JobFactorID, j.JobFactorCode, j.CollieryID, {},
                  j.StartYear, j.EndYear, j.PitName);
}

SmokeEntryPtr AddSmoke(colSmokeEntry& smoking, const HistorySmoke& s) {
  return smoking.Add(s.Key, s.CategoryID, s.CategoryCode, s.Years, s.StartYear, s.EndYear);
}

void LoadJobs(colCoalJobs& jobs, const std::vector<HistoryJob>& history) {
  jobs.Clear();
  for (const HistoryJob& j : history) AddJob(jobs, j);
}

void LoadSmoking(colSmokeEntry& smoking, const std::vector<HistorySmoke>& history) {
  smoking.Clear();
  for (const HistorySmoke& s : history) AddSmoke(smoking, s);
}

void ApplyIdentity(DustModel& model, const ClaimantIdentity& who) {
  model.SetClaimantName(who.Name);
  model.SetSolicitorRef(who.SolicitorRef);
  model.SetZURIRRef(who.ZURIRRef);
  if (who.ExtraLabel) model.SetClaimantExtraLabel(*who.ExtraLabel);
  model.SetClaimantExtra(who.Extra);
  model.SetHeadingNote(who.Note);
}

}  // namespace orv::dust
