#include "blend/lightest_blend.h"

#include <cmath>

#include "blend/lightest_run.h"

namespace kelm {

bool heavierThan(double weight, double lightest) {
  return weight > lightest + 1e-12 * std::fabs(lightest) + 1e-12;
}

void LightestBlend::keep(const BlendedDesign& candidate, double candidateMargin, double candidateWeight) {
  const bool lighter = found && heavierThan(weight, candidateWeight);
  const bool asLight = found && !lighter && !heavierThan(candidateWeight, weight);
  if (found && !lighter && !(asLight && candidateMargin > margin)) return;
  found = true;
  design = candidate;
  margin = candidateMargin;
  weight = candidateWeight;
}

LightestBlend findLightestBlend(const BlendedStructure& structure, const StopRequest* stop,
                                const VectorProgress& progress, const std::vector<int>& start, bool weightOnly) {
  return LightestRun(structure, stop, progress, start, weightOnly).run();
}

SharedBlendRun::SharedBlendRun(const BlendedStructure& structure, const StopRequest* stop, std::vector<int> start,
                               bool weightOnly)
    : start_(std::move(start)), run_(std::make_unique<LightestRun>(structure, stop, progress_, start_, weightOnly)) {}

SharedBlendRun::~SharedBlendRun() = default;

bool SharedBlendRun::prepare() {
  ended_ = run_->prepare();
  return !ended_.has_value();
}

std::optional<std::pair<std::vector<int>, double>> SharedBlendRun::handOut() {
  if (ended_) return std::nullopt;
  return run_->handOut();
}

void SharedBlendRun::settle(const std::vector<int>& plies, const VectorVerdict& verdict) {
  if (!ended_) run_->settle(plies, verdict);
}

LightestBlend SharedBlendRun::conclude() {
  if (ended_) return *ended_;
  return run_->concludeShared();
}

VectorDecider::VectorDecider(const BlendedStructure& structure)
    : structure_(structure), run_(std::make_unique<LightestRun>(structure_, nullptr, progress_, start_, false)) {}

VectorDecider::~VectorDecider() = default;

VectorVerdict VectorDecider::decide(const std::vector<int>& plies, const StopRequest* stop) {
  if (!learnt_) {
    run_->setStop(stop);
    if (!run_->learnPanels()) return {};
    learnt_ = true;
  }
  return run_->decideAlone(plies, stop);
}

}  // namespace kelm
