#include "blend/stiffened_panels.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <set>

#include "base/fatal.h"
#include "blend/blend_check.h"
#include "laminate/design_rules.h"

namespace kelm {

namespace {

// Model positions of the skin's parameters (0-based), and their file variables.
constexpr int kSkin[4] = {0, 1, 2, 3};
constexpr int kSkinVariable[4] = {1, 2, 5, 6};

std::int32_t linearCode(int variable) { return 1 << (4 * (variable - 1)); }

// One surface with the stiffener's parameters fixed: a constant and a linear coefficient per
// skin parameter on top of the skin's own terms.
struct FixedStiffener {
  double constant = 0.0;
  std::array<double, 4> linear{};
};

// A surface's constant and skin-linear coefficients with the stiffener's parameters `s` put in.
FixedStiffener fixedAt(const StiffenerTerms& t, const double* s) {
  FixedStiffener fixed;
  fixed.constant = t.constant;
  for (int l = 0; l < 4; ++l) {
    fixed.constant += t.stiffenerLinear[l] * s[l];
    for (int m = 0; m < 4; ++m) fixed.constant += t.stiffenerQuadratic[l][m] * s[l] * s[m];
  }
  for (int k = 0; k < 4; ++k) {
    fixed.linear[k] = t.skinLinear[k];
    for (int l = 0; l < 4; ++l) fixed.linear[k] += t.cross[k][l] * s[l];
  }
  return fixed;
}

// The skin's own terms of the whole surface, with the linear coefficients `middle` and the
// constant `constant`.
ResponseSurface skinSurface(const ResponseSurface& whole, const std::array<double, 4>& middle, double constant) {
  const Mathmx a = whole.quadratic();
  ResponseSurface skin;
  skin.appendTerm(0, constant);
  for (int k = 0; k < 4; ++k) {
    skin.appendTerm(linearCode(kSkinVariable[k]), middle[k]);
    skin.appendTerm(2 * linearCode(kSkinVariable[k]), 0.5 * a(kSkin[k] + 1, kSkin[k] + 1));
    for (int m = k + 1; m < 4; ++m)
      skin.appendTerm(linearCode(kSkinVariable[k]) + linearCode(kSkinVariable[m]), a(kSkin[k] + 1, kSkin[m] + 1));
  }
  skin.build();
  return skin;
}

// A skin-only surface not below the whole surface for any of the stiffeners: the linear
// coefficients at the middle of their ranges, and the constant the largest excess any
// stiffener can reach over it in the box, raised a little for the rounding of the sums.
ResponseSurface ceilingOver(const ResponseSurface& whole, const std::vector<FixedStiffener>& fixed) {
  std::array<double, 4> middle{};
  for (int k = 0; k < 4; ++k) {
    double low = std::numeric_limits<double>::infinity(), high = -low;
    for (const FixedStiffener& f : fixed) low = std::min(low, f.linear[k]), high = std::max(high, f.linear[k]);
    middle[k] = 0.5 * (low + high);
  }
  double constant = -std::numeric_limits<double>::infinity(), scale = 0.0;
  for (const FixedStiffener& f : fixed) {
    double reach = f.constant;
    for (int k = 0; k < 4; ++k) reach += std::fabs(f.linear[k] - middle[k]);
    constant = std::max(constant, reach);
    scale = std::max(scale, std::fabs(f.constant));
  }
  const Mathmx a = whole.quadratic();
  for (int k = 0; k < 4; ++k) {
    scale += std::fabs(middle[k]);
    for (int m = 0; m < 4; ++m) scale += std::fabs(a(kSkin[k] + 1, kSkin[m] + 1));
  }
  return skinSurface(whole, middle, constant + 1e-12 * (scale + 1.0));
}

}  // namespace

std::vector<StackingSequence> stiffenerLaminates(const PanelStiffener& stiffener, std::int64_t limit) {
  const LaminateRules rules = stiffener.rulesFor();
  std::vector<StackingSequence> path(halfPositions(stiffener.plies) + 1);  // the laminate at each depth
  path[0].setPlyTotal(stiffener.plies);
  std::set<std::array<double, 4>> seen;
  std::vector<StackingSequence> kept;
  std::int64_t tried = 0;
  const std::function<void(int)> grow = [&](int depth) {
    const StackingSequence& laminate = path[depth];
    if (laminate.complete()) {
      if (!checkComplete(laminate, rules)) return;
      const double* p = laminate.parameters();
      if (seen.insert({p[0], p[1], p[2], p[3]}).second) kept.push_back(laminate);
      return;
    }
    for (int code = kCode0; code <= kCode90; ++code) {
      if (++tried > limit)
        throw Failure(Stream::Err, "a stiffener of " + std::to_string(stiffener.plies) +
                                       " plies has too many laminates to try them all (over " +
                                       std::to_string(limit) + " positions)", true);
      path[depth + 1] = laminate;
      path[depth + 1].setTheta(depth + 1, code);
      if (checkPartial(path[depth + 1], rules)) grow(depth + 1);
    }
  };
  grow(0);
  return kept;
}

void prepareStiffenedTotal(PanelTotal& total, const std::shared_ptr<const StiffenerTree>& tree) {
  std::vector<StiffenerChoice::Surface> surfaces;
  for (ModeSurface& mode : total.surfaces) {
    const StiffenerTerms terms(mode.surface);
    std::vector<FixedStiffener> fixed;
    for (const StackingSequence& stiffener : tree->laminates()) fixed.push_back(fixedAt(terms, stiffener.parameters()));
    surfaces.push_back({terms, mode.value, mode.limit, mode.required});
    mode.surface = ceilingOver(mode.surface, fixed);
  }
  total.stiffeners = std::make_shared<const StiffenerChoice>(tree, std::move(surfaces));
}

void chooseStiffeners(const BlendedStructure& structure, BlendedDesign& design) {
  if (!structure.stiffened()) return;
  design.stiffeners.assign(structure.panels.size(), StackingSequence());
  for (std::size_t p = 0; p < structure.panels.size(); ++p) {
    design.stiffeners[p].setPlyTotal(0);
    const PanelTotal* total = structure.panels[p].at(design.plies[p]);
    if (total == nullptr || total->stiffeners == nullptr) continue;
    const PanelValues values = panelValues(*total, design.laminates[p]);
    design.stiffeners[p] = total->stiffeners->laminate(values.stiffener);
  }
}

}  // namespace kelm
