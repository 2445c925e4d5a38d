#include "blend/light_design.h"

#include <algorithm>

#include "blend/blend_check.h"
#include "blend/table_growth.h"

namespace kelm {

LightDesign::LightDesign(const BlendedStructure& structure, LightestBlend& record)
    : structure_(structure), record_(record) {
  if (structure_.blending.form == BlendForm::EdgeWise) {
    tableForm_ = structure_;
    tableForm_.blending.form = BlendForm::Table;
  }
}

// Annealing runs over tables. Edge-wise, every table's design blends too (each thinner laminate
// keeps the thicker one's order, its drops in runs no longer than a table allows), so the
// structure's table form is annealed and its designs are checked edge-wise; a design without a
// guide (found by the edge-wise search) gives no start.
AnnealingOutcome LightDesign::anneal(const std::vector<int>& plies, std::int64_t evaluations,
                                     const BlendedDesign* near, AnnealingGoal goal) {
  const bool edgeWise = structure_.blending.form == BlendForm::EdgeWise;
  if (near != nullptr && near->guide.empty()) near = nullptr;
  AnnealingOutcome outcome =
      annealGuide(edgeWise ? tableForm_ : structure_, plies, evaluations, ++annealingSeed_, stop_, near, goal);
  record_.guidesAnnealed += outcome.evaluations;
  if (outcome.found && edgeWise) {
    const BlendVerdict verdict = checkBlendedDesign(structure_, outcome.design);
    outcome.found = verdict.holds();
    outcome.margin = verdict.margin;
  }
  return outcome;
}

void LightDesign::raiseMargin(const std::vector<int>& plies) {
  const AnnealingOutcome outcome = anneal(plies, kMarginEvaluations, &record_.design, AnnealingGoal::LargestMargin);
  if (outcome.found) record_.keep(outcome.design, outcome.margin, record_.weight);
}

// A table grown class by class first (kept when lighter than what is held). Then, unless the
// start's design is taken, each panel raised alike until annealing finds a design, as long as
// the raised totals are lighter than the design held; the descent starts from that design, or
// else from the one held. The heaviest plies are lightened first, each step annealed from the
// descent's last design.
void LightDesign::descend(const std::vector<std::vector<int>>& options, const NeighbourConflicts& conflicts) {
  std::vector<std::size_t> index(options.size(), 0);
  std::vector<int> plies(options.size());
  const bool started = record_.found;
  if (started) last_ = record_.design;
  grow(options);
  bool annealed = false;
  for (std::size_t raise = 1; !started && !annealed && raise <= kLightDesignRaises; ++raise) {
    const std::vector<int> before = plies;
    for (std::size_t p = 0; p < plies.size(); ++p) {
      index[p] = std::min(raise, options[p].size() - 1);
      plies[p] = options[p][index[p]];
    }
    // Panels of few totals (one each, under fixed counts) raise no further; fixed ply numbers
    // that cannot nest, or neighbours too far apart to place their drops, hold no design, and
    // the enumeration proves it at once.
    if (plies == before || !conflicts.numbersNestIn(plies) || !conflicts.everyDropFits(plies)) continue;
    // A start no lighter than the (grown) design held is left out: annealing it costs a
    // structure of many panels most of its time.
    if (record_.found && !heavierThan(record_.weight, structure_.weightOf(plies))) continue;
    const AnnealingOutcome outcome = anneal(plies, kLightDesignEvaluations, nullptr);
    if (stopped()) return;
    if (!outcome.found) continue;
    record_.keep(outcome.design, outcome.margin, structure_.weightOf(plies));
    last_ = outcome.design;
    annealed = true;
  }
  if (!record_.found) return;
  if (!started && !annealed) last_ = record_.design;
  plies = last_.plies;
  for (std::size_t p = 0; p < plies.size(); ++p)
    index[p] = std::find(options[p].begin(), options[p].end(), plies[p]) - options[p].begin();
  std::vector<int> order(plies.size());
  for (std::size_t p = 0; p < order.size(); ++p) order[p] = static_cast<int>(p);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    return structure_.panels[a].plyWeight > structure_.panels[b].plyWeight;
  });
  while (lightenOne(plies, index, order, options, conflicts)) {
  }
}

// A first design grown class by class from the thinnest: it judges a class's few panels at a
// time, where annealing one table of many panels from nothing seldom meets a design.
void LightDesign::grow(const std::vector<std::vector<int>>& options) {
  const bool edgeWise = structure_.blending.form == BlendForm::EdgeWise;
  GrownTable grown = growTable(edgeWise ? tableForm_ : structure_, options, stop_);
  if (!grown.found) return;
  if (edgeWise) {
    const BlendVerdict verdict = checkBlendedDesign(structure_, grown.design);
    if (!verdict.holds()) return;
    grown.margin = verdict.margin;
  }
  record_.keep(grown.design, grown.margin, structure_.weightOf(grown.design.plies));
}

// One panel a step lighter, the heaviest plies first; false when none can be (or stopped).
bool LightDesign::lightenOne(std::vector<int>& plies, std::vector<std::size_t>& index, const std::vector<int>& order,
                             const std::vector<std::vector<int>>& options, const NeighbourConflicts& conflicts) {
  bool any = false;
  for (int p : order)
    if (lightened(plies, index, p, options, conflicts)) any = true;
  return any && !stopped();
}

// The totals with panel p a step lighter, kept when annealing from the last design finds a
// design of them.
bool LightDesign::lightened(std::vector<int>& plies, std::vector<std::size_t>& index, int p,
                            const std::vector<std::vector<int>>& options, const NeighbourConflicts& conflicts) {
  if (stopped() || index[p] == 0 || index[p] >= options[p].size()) return false;
  std::vector<int> next = plies;
  next[p] = options[p][index[p] - 1];
  if (!conflicts.dropsFit(next, p)) return false;
  const AnnealingOutcome outcome = anneal(next, lighteningEvaluations(), &last_);
  if (!outcome.found) return false;
  record_.keep(outcome.design, outcome.margin, structure_.weightOf(next));
  last_ = outcome.design;
  plies = next;
  --index[p];
  return true;
}

// Guides annealed for one step of the descent. A guide costs about as much as its panels, and
// the descent tries every panel in turn; so a structure of many panels gives each step fewer
// guides (a step missed costs only a lighter design, never a wrong one), and a step of the
// horseshoe's 18 panels as many as the first design.
std::int64_t LightDesign::lighteningEvaluations() const {
  const auto panels = static_cast<std::int64_t>(structure_.panels.size());
  return std::clamp<std::int64_t>(kLightDesignEvaluations * 18 / std::max<std::int64_t>(panels, 1),
                                  kLightDesignEvaluations / 10, kLightDesignEvaluations);
}

}  // namespace kelm
