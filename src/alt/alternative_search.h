#pragma once

#include <string_view>
#include <vector>

#include "search/panel_value.h"
#include "laminate/panel_design.h"
#include "response/response_surface.h"
#include "laminate/laminate_rules.h"
#include "search/search_driver.h"

namespace kelm {

// What both drivers of the alternative method share: the full objective, the best value, the
// list of designs that share it, the step count and the report.
class AlternativeSearch : public SearchDriver {
 public:
  AlternativeSearch(const ResponseSurface& model, const LaminateRules& skinRules,
                    const LaminateRules& stiffenerRules);

  void report() override;

  const std::vector<PanelDesign>& results() const { return results_; }
  int totalSteps() const { return totalSteps_; }
  double best() const { return best_; }

 protected:
  // Values a complete design and enters it: a tie within 1e-13 joins the list, a better value
  // replaces it.
  void evaluateAndEnter(PanelDesign& design);
  // The report's last line, after "total step " and the count.
  virtual void writeStepSuffix() const = 0;

  std::vector<PanelDesign> results_;
  int totalSteps_ = 0;
  int skinPositions_ = 0;
  int stiffenerPositions_ = 0;
  const LaminateRules& skinRules_;
  const LaminateRules& stiffenerRules_;
  double best_ = 0.0;
  FullObjective objective_;
};

}  // namespace kelm
