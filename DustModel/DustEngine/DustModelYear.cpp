// The year walk of one job: the share of the year worked, the dust matrix
// entry and its marker, the dust after uplift and job factor, the share
// after the limitation date, the tortious dust, and the respirator period.
#include "detail/DustModelPass.h"

#include "Numbers.h"

namespace orv::dust::detail {

namespace {
std::string Num(int v) { return std::to_string(v); }
}  // namespace

void CalculationPass::Year(CoalJob& job, int16_t y) {
  if (report_) {
    out_.SetDetailLevel(2);
    D([&] { return "Processing year " + Num(y); });
    out_.SetDetailLevel(3);
  }
  YearValues yv;
  yv.year = y;
  Fraction(job, yv);
  float raw = 0;
  Classify(job, yv, raw);
  if (!report_) {
    job_.EquivalentYears += yv.DustFraction;
    return;
  }
  yv.raw = raw;
  yv.dust_share = yv.DustFraction;
  float w = 0;
  Dust(job, yv, raw, w);
  yv.w = w;
  const bool post_limitation = PostLimitation(job, yv, w);
  if (post_limitation) {
    PostLimitYears_ += yv.DustFraction;
    float tw = 0;
    Tortious(job, yv, tw);
    RespiratorPeriod(job, yv, tw);
  }
  if (years_) RecordYear(job, yv, post_limitation);
  out_.SetDetailLevel(2);
}

// The year as the series holds it: the values computed above, none of them
// worked out again, so that the series adds up to the report's totals.
void CalculationPass::RecordYear(const CoalJob& job, const YearValues& yv, bool post_limitation) {
  orv::ExposureYear e;
  e.year = yv.year;
  e.job = job_.number;
  e.colliery_id = job.CollieryID();
  e.colliery = job.Colliery();
  e.job_factor = job.JobFactorText();
  e.marker = yv.marker;
  switch (job_.special) {
    case Special::kStrike:
      e.kind = orv::ExposureKind::kStrike;
      break;
    case Special::kJobBreak:
      e.kind = orv::ExposureKind::kJobBreak;
      break;
    case Special::kNoData:
      e.kind = orv::ExposureKind::kNoData;
      break;
    case Special::kNone:
      e.kind = yv.marker == "STRIKE"   ? orv::ExposureKind::kStrike
               : yv.marker == "CLOSED" ? orv::ExposureKind::kClosed
                                       : orv::ExposureKind::kDust;
      break;
  }
  e.dust_share = yv.dust_share;
  e.dust_value = yv.raw;
  e.weighted_pxr = yv.w;
  e.weighted_dust_insult = KUnchecked(yv.w);
  e.post_limitation = post_limitation;
  if (post_limitation) {
    e.post_limitation_share = yv.DustFraction;
    e.post_limitation_pxr = yv.post_limit_units;
    e.post_limitation_insult = KUnchecked(yv.post_limit_units);
    e.tortious_percent = yv.tortious_percent;
    e.tortious = yv.tortious;
    e.respirator_share = yv.respirator_share;
    e.respirator_reduction = job.RespFactor() * yv.respirator_share;
  }
  e.respirator_period =
      job.RespFactor() > 0 && yv.year >= job.RespStartYear() && yv.year <= job.RespEndYear();
  years_->push_back(std::move(e));
}

void CalculationPass::Fraction(CoalJob& job, YearValues& yv) {
  float fraction = 1.0f;
  if (yv.year == job.StartYear() && job_.halve_start) {
    fraction = 0.5f;
    yv.halved = true;
    if (report_) D("Halving this year (Start Year)");
  }
  if (yv.year == job.EndYear() && job_.halve_end) {
    fraction = 0.5f;
    yv.halved = true;
    if (report_) D("Halving this year (End Year)");
  }
  if (job_.discounted) fraction = 0;
  yv.base_fraction = fraction;
  yv.YearFraction = job.JobDustyTimeFactor() * fraction;
  if (report_ && job.Surface() == "Y" && ExcludeSurface_) {
    yv.base_fraction = 0;
    yv.YearFraction = 0;
  }
}

void CalculationPass::Classify(CoalJob& job, YearValues& yv, float& raw) {
  std::string& marker = yv.marker;
  // A year without an entry reads as the marker "NO ENTRY" and the value 0,
  // which the classification below handles like any other marker.
  static_cast<void>(LookupDust(job.CollieryID(), yv.year, marker, raw));
  if (report_) D([&] { return "Dust matrix marker: [" + marker + "], raw value"; }, raw);
  const float f = yv.YearFraction;
  switch (job_.special) {
    case Special::kStrike:
      if (report_) {
        SameFactorTexts(job, "strike");
        D("This is a strike year (special job factor) - hence dust value", 0);
      }
      raw = 0;
      TotalYears_ += f;
      job_.EmployedYears += f;
      TotalStrikeYears_ += f;
      job_.StrikeYears += f;
      yv.DustFraction = 0;
      return;
    case Special::kJobBreak:
      if (report_) {
        SameFactorTexts(job, "job break");
        if (job.StartYear() != job.EndYear())
          Refuse("The job break option can only be used for single years (start year = end year)");
      }
      yv.DustFraction = 0;
      return;
    case Special::kNoData:
      if (report_) SameFactorTexts(job, "no data");
      job_.no_data = true;
      job_.EmployedYears += f;
      yv.DustFraction = 0;
      return;
    case Special::kNone:
      break;
  }
  TotalYears_ += f;
  job_.EmployedYears += f;
  if (marker == "NO ENTRY")
    Refuse("No Dust Matrix entry for colliery " + job.Colliery() + " in " + Num(yv.year));
  if (marker == "STRIKE") {
    raw = 0;
    if (report_) D("This is a strike year - hence dust value", 0);
    TotalStrikeYears_ += f;
    job_.StrikeYears += f;
    yv.DustFraction = 0;
    return;
  }
  if (marker == "CLOSED") {
    job_.ClosedYears += yv.base_fraction;
    if (report_) {
      const float allowed = job.YearsPastClose();
      if (job_.ClosedYears - allowed > 0.0001f) {
        const std::string head = "Colliery " + job.Colliery() + " was not open in " + Num(yv.year);
        if (allowed != 0)
          Refuse(head + " - job type only allows " + FloatToText(allowed) +
                 " years work in closed years ");
        Refuse(head + " and job type does not allow work in closed years");
      }
      B([&] { return FloatToText(allowed) + " years work in closed years allowed, used is"; },
        job_.ClosedYears);
    }
  }
  yv.DustFraction = f;
}

void CalculationPass::Dust(CoalJob& job, YearValues& yv, float raw, float& w) {
  float pxr = raw * yv.DustFraction;
  pxr = job_.uplift * pxr;
  D([&] { return "PXR value after uplift of " + FloatToText(job_.uplift); }, pxr);
  job_.PXR += pxr;
  w = job.JobFactor() * pxr;
  if (job.Surface() == "Y" && parms_.SurfaceData == 0) w = 0;
  job_.WeightedPXR += w;
}

// Adds the year's weighted units after the limitation date; false when the
// year lies wholly before it.
bool CalculationPass::PostLimitation(CoalJob& job, YearValues& yv, float w) {
  const int16_t L = limitation_.year;
  const float V = limitation_.value;
  const int16_t y = yv.year;
  if (y < L) return false;
  if (V == 0.5f && y == L && y == job.EndYear() && job_.halve_end) return false;
  const auto add = [&](float units) {
    job_.WeightedPostLimit += units;
    yv.post_limit_units = units;
    if (totals_.SplitTypes & 1) D("Weighted dust units post limitation this year", K(units));
  };
  if (y != L) add(w);
  if (y == L && yv.DustFraction > 0) {
    if (yv.halved) {
      add(w);
    } else {
      // w already holds the year's share once; the limitation share is
      // applied to it again.
      yv.DustFraction = yv.DustFraction * V;
      add(w * yv.DustFraction);
    }
    D("Limitation year treated as", yv.DustFraction, 1);
  }
  return true;
}

void CalculationPass::Tortious(CoalJob& job, YearValues& yv, float& tw) {
  float t = 0;
  if (!job_.no_data && !LookupTortious(job.CollieryID(), yv.year, job.Surface(), t))
    Refuse("No tortious percentage entry for colliery " + job.Colliery() + " in " + Num(yv.year));
  D("Tortious dust for whole year %", t);
  tw = t * yv.DustFraction;
  yv.tortious_percent = t;
  yv.tortious = tw;
  job_.TortiousPostLimit += tw;
  if (yv.DustFraction != 1) D("Weighted for part year tortious dust%", tw);
  PostLimitTortious_ += tw;
}

// The shares of the year inside (s) and outside (o) the job's respirator
// period: a respirator start or end in mid-year splits a whole year in two
// and gives a half year wholly to the side it was worked on.
void CalculationPass::RespiratorPeriod(CoalJob& job, YearValues& yv, float tw) {
  const int16_t y = yv.year;
  const float df = yv.DustFraction;
  if (y < job.RespStartYear() || y > job.RespEndYear()) {
    PostLimitNonRespYears_ += df;
    NonRespTortious_ += tw;
    return;
  }
  const bool start_halved = y == job.StartYear() && job_.halve_start;
  const bool end_halved = y == job.EndYear() && job_.halve_end;
  float s = 1, o = 0;
  if (y == job.RespStartYear() && job.RespStartYearVal() == 0.5f) {
    if (start_halved) {
      s = 1, o = 0;
    } else if (end_halved) {
      s = 0, o = 1;
    } else {
      s = 0.5f, o = 0.5f;
    }
  } else if (y == job.RespEndYear() && job.RespEndYearVal() == 0.5f) {
    if (start_halved) {
      s = 0, o = 1;
    } else if (end_halved) {
      s = 1, o = 0;
    } else {
      s = 0.5f, o = 0.5f;
    }
  }
  yv.respirator_share = s;
  PostLimitNonRespYears_ += o * df;
  NonRespTortious_ += o * tw;
  RespPeriodYears_ += df * s;
  if (s != 1)
    D([&] { return "Respirator Factor adjusted for part year: " + job.RespiratorFactorText(); },
      job.RespFactor() * s);
  else
    D([&] { return "Respirator Factor: " + job.RespiratorFactorText(); }, job.RespFactor());
  RespFactorSum_ += job.RespFactor() * df * s;
}

}  // namespace orv::dust::detail
