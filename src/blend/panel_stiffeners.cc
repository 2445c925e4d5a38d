#include "blend/panel_stiffeners.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <numeric>
#include <set>

#include "base/fatal.h"
#include "blend/blend_check.h"
#include "laminate/design_rules.h"

namespace kelm {

namespace {

// Model positions of the skin's and the stiffener's parameters (0-based), and the file
// variables of the skin's.
constexpr int kSkin[4] = {0, 1, 2, 3};
constexpr int kStiffener[4] = {4, 5, 6, 7};
constexpr int kSkinVariable[4] = {1, 2, 5, 6};

std::int32_t linearCode(int variable) { return 1 << (4 * (variable - 1)); }

// One surface with the stiffener's parameters fixed: a constant and a linear coefficient per
// skin parameter on top of the skin's own terms.
struct FixedStiffener {
  double constant = 0.0;
  std::array<double, 4> linear{};
};

FixedStiffener fixStiffener(const ResponseSurface& surface, const double* s) {
  const Vector b = surface.linear();
  const Mathmx a = surface.quadratic();
  FixedStiffener fixed;
  fixed.constant = surface.constant;
  for (int l = 0; l < 4; ++l) {
    const int i = kStiffener[l] + 1;
    fixed.constant += b(i) * s[l];
    for (int m = 0; m < 4; ++m) fixed.constant += 0.5 * a(i, kStiffener[m] + 1) * s[l] * s[m];
  }
  for (int k = 0; k < 4; ++k) {
    const int i = kSkin[k] + 1;
    fixed.linear[k] = b(i);
    for (int l = 0; l < 4; ++l) fixed.linear[k] += a(i, kStiffener[l] + 1) * s[l];
  }
  return fixed;
}

// Whether `strong` gives every skin (each parameter within [-1, 1]) at least the value `weak`
// gives it: the difference is linear in the skin's parameters, least at a corner of the box.
bool atLeastEverywhere(const FixedStiffener& strong, const FixedStiffener& weak) {
  double least = strong.constant - weak.constant;
  for (int k = 0; k < 4; ++k) least -= std::fabs(strong.linear[k] - weak.linear[k]);
  return least >= 0.0;
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
  StackingSequence laminate;
  laminate.setPlyTotal(stiffener.plies);
  std::set<std::array<double, 4>> seen;
  std::vector<StackingSequence> kept;
  std::int64_t tried = 0;
  const std::function<void(int)> grow = [&](int position) {
    if (position > laminate.plyCount()) {
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
      StackingSequence before = laminate;
      laminate.setTheta(position, code);
      if (checkPartial(laminate, rules)) grow(position + 1);
      laminate = std::move(before);
    }
  };
  grow(1);
  return kept;
}

void prepareStiffenedTotal(PanelTotal& total, const std::vector<StackingSequence>& candidates) {
  const std::size_t modes = total.surfaces.size();
  std::vector<std::vector<FixedStiffener>> fixed(candidates.size(), std::vector<FixedStiffener>(modes));
  std::vector<double> sum(candidates.size(), 0.0);
  for (std::size_t c = 0; c < candidates.size(); ++c)
    for (std::size_t m = 0; m < modes; ++m) {
      fixed[c][m] = fixStiffener(total.surfaces[m].surface, candidates[c].parameters());
      sum[c] += fixed[c][m].constant;
    }
  // One that beats another everywhere has a larger sum of constants: the strong come first.
  std::vector<std::size_t> order(candidates.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return sum[a] > sum[b]; });
  std::vector<std::size_t> kept;
  for (std::size_t c : order) {
    const bool beaten = std::any_of(kept.begin(), kept.end(), [&](std::size_t k) {
      for (std::size_t m = 0; m < modes; ++m)
        if (!atLeastEverywhere(fixed[k][m], fixed[c][m])) return false;
      return true;
    });
    if (!beaten) kept.push_back(c);
  }
  std::sort(kept.begin(), kept.end());  // in the order of the enumeration
  total.stiffeners.clear();
  for (std::size_t c : kept) total.stiffeners.push_back(candidates[c]);
  for (std::size_t m = 0; m < modes; ++m) {
    std::vector<FixedStiffener> over;
    for (std::size_t c : kept) over.push_back(fixed[c][m]);
    if (!over.empty()) total.surfaces[m].surface = ceilingOver(total.surfaces[m].surface, over);
  }
}

void chooseStiffeners(const BlendedStructure& structure, BlendedDesign& design) {
  if (!structure.stiffened()) return;
  design.stiffeners.assign(structure.panels.size(), StackingSequence());
  for (std::size_t p = 0; p < structure.panels.size(); ++p) {
    design.stiffeners[p].setPlyTotal(0);
    const PanelTotal* total = structure.panels[p].at(design.plies[p]);
    if (total == nullptr || total->stiffeners.empty()) continue;
    const PanelValues values = panelValues(*total, design.laminates[p]);
    design.stiffeners[p] = total->stiffeners[values.stiffener];
  }
}

}  // namespace kelm
