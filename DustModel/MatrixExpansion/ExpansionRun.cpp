#include "ExpansionRun.h"

#include <algorithm>

namespace orv::dustm {

ExpansionRun::ExpansionRun(RunValues v, ProgressSink* progress)
    : values(v), errors_("orvdustm"), progress_(progress ? progress : &silent_) {}

void ExpansionRun::BeginStage(double from, double to) {
  stage_from_ = from;
  stage_to_ = to;
}

void ExpansionRun::Show(std::string_view text, double share) {
  share = std::clamp(share, 0.0, 1.0);
  progress_->Report(text, share, stage_from_ + (stage_to_ - stage_from_) * share);
}

void ExpansionRun::ShowCount(std::string_view text, int64_t done, int64_t total) {
  Show(text, total > 0 ? static_cast<double>(done) / static_cast<double>(total) : 0.0);
}

}  // namespace orv::dustm
