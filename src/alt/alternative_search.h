#pragma once

#include <vector>

#include "laminate/laminate_rules.h"
#include "laminate/panel_design.h"
#include "response/full_objective.h"
#include "response/response_surface.h"
#include "search/extra_surfaces.h"
#include "search/panel_objectives.h"
#include "search/search_driver.h"
#include "search/tie_rule.h"

namespace kelm {

// What both drivers of the alternative method share: the objective (with any further failure
// modes), the best value with
// the designs that share it, the step count and the report.
class AlternativeSearch : public SearchDriver {
 public:
  AlternativeSearch(const ResponseSurface& model, const LaminateRules& skinRules,
                    const LaminateRules& stiffenerRules);

  void report() override;

  const std::vector<PanelDesign>& results() const override { return results_.designs(); }
  long long totalSteps() const override { return totalSteps_; }
  double best() const { return results_.best(); }

  // Further failure modes: the smallest of the surfaces is maximised, and designs that break a
  // requirement are never reported. Set before run(); none by default.
  void setExtraSurfaces(const ExtraSurfaces& extras) override;
  void setExcludedDesigns(const ExcludedDesigns& excluded) override { excluded_ = &excluded; }
  void setTop(int k) override { results_.keepTop(k); }

 protected:
  // A design the caller excluded: never entered, and no start value may come from it (it would
  // raise the best value above what the allowed designs reach and prune the true answer).
  bool isExcluded(const PanelDesign& design) const {
    return excluded_ != nullptr && excluded_->contains(design);
  }
  // Values a complete design and enters it: a tie within 1e-13 joins the list, a better value
  // replaces it. A design that breaks a requirement is left out.
  void evaluateAndEnter(PanelDesign& design);
  // The K best in falling value, equal values in the order of their codes (skin first, outer
  // positions first), so that the list does not depend on the order they were found in.
  void rankResults();
  // The report's last line, after "total step " and the count.
  virtual void writeStepSuffix() const = 0;

  TiedBest<PanelDesign> results_;
  // The designs results_ may hold before the search stops for memory (0: no limit).
  std::size_t tieLimit_ = 0;
  long long totalSteps_ = 0;
  int skinPositions_ = 0;
  int stiffenerPositions_ = 0;
  const LaminateRules& skinRules_;
  const LaminateRules& stiffenerRules_;
  const ResponseSurface& model_;
  PanelObjectives objectives_;
  ExtraSurfaces extras_;
  const ExcludedDesigns* excluded_ = nullptr;
};

}  // namespace kelm
