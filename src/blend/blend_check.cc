#include "blend/blend_check.h"

#include <algorithm>
#include <limits>
#include <sstream>

#include "laminate/design_rules.h"
#include "laminate/panel_design.h"
#include "search/panel_value.h"

namespace kelm {

namespace {

std::string text(double value) {
  std::ostringstream out;
  out.precision(10);
  out << value;
  return out.str();
}

// Each rule switched on, judged alone so that the break names the rule.
struct NamedRule {
  const char* name;
  LaminateRules only;
};

std::vector<NamedRule> rulesSwitchedOn(const LaminateRules& rules) {
  LaminateRules none = rules;
  none.balance = false;
  none.fourPlyRule = false;
  none.minSharePercent = 0.0;
  none.maxRun = 0;
  none.noCrossPlyJump = false;
  none.outer45 = false;
  none.plyNumbersFixed = false;
  std::vector<NamedRule> named;
  if (rules.plyNumbersFixed) named.push_back({"ply numbers", none}), named.back().only.plyNumbersFixed = true;
  if (rules.balance) named.push_back({"balance", none}), named.back().only.balance = true;
  if (rules.fourPlyRule) named.push_back({"4-ply rule", none}), named.back().only.fourPlyRule = true;
  if (rules.minSharePercent > 0.0)
    named.push_back({"minimum share", none}), named.back().only.minSharePercent = rules.minSharePercent;
  if (rules.maxRun > 0) named.push_back({"run limit", none}), named.back().only.maxRun = rules.maxRun;
  if (rules.noCrossPlyJump)
    named.push_back({"cross-ply", none}), named.back().only.noCrossPlyJump = true;
  if (rules.outer45) named.push_back({"outer 45", none}), named.back().only.outer45 = true;
  return named;
}

class Checker {
 public:
  Checker(const BlendedStructure& structure, const BlendedDesign& design)
      : structure_(structure), design_(design) {}

  BlendVerdict run() {
    const std::size_t n = structure_.panels.size();
    if (design_.plies.size() != n || design_.laminates.size() != n) {
      add("panels", "the design has " + std::to_string(design_.laminates.size()) +
                        " panels; the structure has " + std::to_string(n));
      return verdict_;
    }
    verdict_.weight = structure_.weightOf(design_.plies);
    verdict_.margin = std::numeric_limits<double>::infinity();
    verdict_.panels.resize(n);
    fits_.assign(n, false);
    for (std::size_t p = 0; p < n; ++p) checkPanel(p);
    if (structure_.blending.form == BlendForm::Table) checkTable();
    for (const auto& [a, b] : structure_.adjacent) checkNeighbours(a, b);
    for (const auto& [a, b] : structure_.adjacent) checkRealPlies(a, b);
    return verdict_;
  }

 private:
  void add(const std::string& rule, const std::string& where) { verdict_.breaks.push_back({rule, where}); }
  const std::string& name(std::size_t p) const { return structure_.panels[p].name; }

  void checkPanel(std::size_t p) {
    const BlendPanel& panel = structure_.panels[p];
    const int plies = design_.plies[p];
    const StackingSequence& laminate = design_.laminates[p];
    const PanelTotal* total = panel.at(plies);
    if (total == nullptr) {
      add("ply total", name(p) + ": " + std::to_string(plies) + " plies is not an allowed total");
      return;
    }
    if (laminate.plyCount() != halfPositions(plies) || !laminate.complete() ||
        laminate.halfPlies() * 2 != plies) {
      add("laminate", name(p) + ": the stack " + laminate.bracketText() + " is not a half laminate of " +
                          std::to_string(plies) + " plies");
      return;
    }
    fits_[p] = true;
    for (const NamedRule& rule : rulesSwitchedOn(panel.rulesFor(plies))) {
      if (!checkComplete(laminate, rule.only))
        add(rule.name, name(p) + ": " + laminate.bracketText() + " breaks the " + rule.name);
    }
    StackingSequence stiffener;
    if (!stiffenerFits(p, stiffener)) return;
    PanelValues values = panelValues(*total, laminate, stiffener);
    for (std::size_t s = 0; s < total->surfaces.size(); ++s) {
      const ModeSurface& surface = total->surfaces[s];
      if (surface.required && !(values.values[s] >= surface.limit))
        add("requirement", name(p) + ": " + surface.name + " = " + text(values.values[s]) + " < " +
                               text(surface.limit));
    }
    verdict_.margin = std::min(verdict_.margin, values.margin);
    verdict_.panels[p] = std::move(values);
  }

  // A stiffened panel's stiffener: a whole half laminate of its total that meets its own rules
  // (a plate's has no plies). False when it is not one, so that no values are taken.
  bool stiffenerFits(std::size_t p, StackingSequence& stiffener) {
    const PanelStiffener& wanted = structure_.panels[p].stiffener;
    stiffener.setPlyTotal(0);
    if (!structure_.stiffened()) return true;
    if (design_.stiffeners.size() != structure_.panels.size()) {
      if (p == 0) add("stiffener", "the design has " + std::to_string(design_.stiffeners.size()) +
                                       " stiffeners; the structure has " + std::to_string(structure_.panels.size()) +
                                       " panels");
      return false;
    }
    stiffener = design_.stiffeners[p];
    if (stiffener.plyCount() != halfPositions(wanted.plies) || !stiffener.complete() ||
        stiffener.halfPlies() * 2 != wanted.plies) {
      add("stiffener", name(p) + ": the stiffener " + stiffener.bracketText() + " is not a half laminate of " +
                           std::to_string(wanted.plies) + " plies");
      return false;
    }
    if (wanted.plies == 0) return true;
    for (const NamedRule& rule : rulesSwitchedOn(wanted.rulesFor()))
      if (!checkComplete(stiffener, rule.only))
        add(rule.name, name(p) + " stiffener: " + stiffener.bracketText() + " breaks the " + rule.name);
    return true;
  }

  // The guide holds exactly the positions of each class, every panel is its cut, and the outer
  // positions run through every panel.
  void checkTable() {
    const std::vector<int> classes = countClasses(design_.plies);
    const int levels = static_cast<int>(classes.size());
    const std::vector<GuidePosition>& guide = design_.guide;
    for (std::size_t i = 0; i < guide.size(); ++i)
      if (guide[i].level < 1 || guide[i].level > levels || guide[i].code < kCode0 || guide[i].code > kCode90) {
        add("table", "guide position " + std::to_string(i + 1) + " has level " +
                         std::to_string(guide[i].level) + " outside 1.." + std::to_string(levels));
        return;
      }
    for (int j = 1; j <= levels; ++j) {
      const auto held = std::count_if(guide.begin(), guide.end(), [&](const GuidePosition& g) { return g.level <= j; });
      if (held != classes[j - 1]) {
        add("table", "the guide has " + std::to_string(held) + " positions of level up to " + std::to_string(j) +
                         "; panels of " + std::to_string(2 * classes[j - 1]) + " plies need " +
                         std::to_string(classes[j - 1]));
        return;
      }
    }
    const std::vector<StackingSequence> cut = laminatesFromGuide(guide, design_.plies);
    for (std::size_t p = 0; p < cut.size(); ++p)
      if (fits_[p] && !(cut[p] == design_.laminates[p]))
        add("table", name(p) + ": " + design_.laminates[p].bracketText() + " is not the guide's cut " +
                         cut[p].bracketText());
    const int covered = std::min(structure_.blending.covering, classes.front());
    for (int i = 0; i < covered; ++i)
      if (guide[i].level != 1)
        add("covering", "guide position " + std::to_string(i + 1) + " is dropped by the thinnest panels");
    checkTableRows(classes);
  }

  // Counted in real plies, a table row is a pair of plies in a panel that keeps it, but one ply
  // where it is the mid-plane of an odd total: no panel may hold a row with more plies than a
  // thicker panel does, or it would not be that panel with plies dropped.
  void checkTableRows(const std::vector<int>& classes) {
    const std::size_t n = design_.plies.size();
    std::vector<int> lastRow(n, -1);
    for (std::size_t p = 0; p < n; ++p)
      for (std::size_t i = 0; i < design_.guide.size(); ++i)
        if (design_.guide[i].level <= classOf(classes, design_.plies[p])) lastRow[p] = static_cast<int>(i);
    for (std::size_t thin = 0; thin < n; ++thin)
      for (std::size_t thick = 0; thick < n; ++thick) {
        if (design_.plies[thick] <= design_.plies[thin] || design_.plies[thick] % 2 == 0 ||
            design_.plies[thin] % 2 != 0 || lastRow[thin] != lastRow[thick])
          continue;
        add("mid-plane", name(thin) + " (" + std::to_string(design_.plies[thin]) + " plies) holds guide position " +
                             std::to_string(lastRow[thin] + 1) + " as two plies where " + name(thick) + " (" +
                             std::to_string(design_.plies[thick]) + " plies) holds it as its one mid-plane ply");
        return;
      }
  }

  void checkNeighbours(int a, int b) {
    if (!fits_[a] || !fits_[b]) return;
    int thick = a, thin = b;
    if (design_.plies[thick] < design_.plies[thin]) std::swap(thick, thin);
    const std::string pair = name(thick) + " to " + name(thin);
    if (structure_.blending.form == BlendForm::Table) {
      if (tableWellFormed()) checkTableDrops(thick, thin, pair);
    } else if (!embeds(design_.laminates[thick], design_.laminates[thin])) {
      add("subsequence", pair + ": " + design_.laminates[thin].bracketText() +
                             " cannot be laid as a continuation of " + design_.laminates[thick].bracketText() +
                             " (order, covering " + std::to_string(structure_.blending.covering) +
                             ", at most " + std::to_string(structure_.blending.maxDrops) + " consecutive drops)");
    }
  }

  // Independently of the table or embedding: the thinner neighbour's whole laminate, ply by
  // ply through the thickness (the mid-plane ply of an odd total once), is the thicker one's
  // with plies dropped.
  void checkRealPlies(int a, int b) {
    if (!fits_[a] || !fits_[b] || design_.plies[a] == design_.plies[b]) return;
    const int thick = design_.plies[a] > design_.plies[b] ? a : b;
    const int thin = thick == a ? b : a;
    const std::vector<int> outer = wholeLaminate(design_.laminates[thick]);
    const std::vector<int> inner = wholeLaminate(design_.laminates[thin]);
    std::size_t kept = 0;
    for (std::size_t i = 0; i < outer.size() && kept < inner.size(); ++i)
      if (outer[i] == inner[kept]) ++kept;
    if (kept == inner.size()) return;
    add("plies", name(thin) + " (" + std::to_string(design_.plies[thin]) + " plies, " + plyCounts(inner) +
                     ") is not " + name(thick) + " (" + std::to_string(design_.plies[thick]) + " plies, " +
                     plyCounts(outer) + ") with plies dropped");
  }

  static std::vector<int> wholeLaminate(const StackingSequence& half) {
    std::vector<int> plies;
    for (int i = 1; i <= half.plyCount(); ++i) plies.push_back(half.codeAt(i));
    for (int i = half.plyCount() - (half.midPly() ? 1 : 0); i >= 1; --i) plies.push_back(half.codeAt(i));
    return plies;
  }

  static std::string plyCounts(const std::vector<int>& plies) {
    const auto count = [&](int code) { return std::to_string(std::count(plies.begin(), plies.end(), code)); };
    return count(kCode0) + " x 0, " + count(kCode45) + " x 45, " + count(kCode90) + " x 90";
  }

  bool tableWellFormed() const {
    return std::none_of(verdict_.breaks.begin(), verdict_.breaks.end(),
                        [](const RuleBreak& b) { return b.rule == "table"; });
  }

  void checkTableDrops(int thick, int thin, const std::string& pair) {
    const std::vector<int> classes = countClasses(design_.plies);
    const int high = classOf(classes, design_.plies[thick]);
    const int low = classOf(classes, design_.plies[thin]);
    int run = 0, longest = 0, end = 0;
    for (std::size_t i = 0; i < design_.guide.size(); ++i) {
      const int level = design_.guide[i].level;
      if (level > high) continue;
      run = level <= low ? 0 : run + 1;
      if (run > longest) longest = run, end = static_cast<int>(i) + 1;
    }
    if (longest > structure_.blending.maxDrops)
      add("drops", pair + ": " + std::to_string(longest) + " consecutive positions dropped, ending at guide position " +
                       std::to_string(end));
  }

  // Whether the thinner laminate is an order-preserving subsequence of the thicker one with its
  // outer positions kept and no more than the allowed run of dropped positions anywhere (the
  // innermost run included). A pair of plies (any position of an even total) is never laid on
  // the single mid-plane ply of an odd one. reach[j][r]: the first j thin positions placed, the
  // last r thick positions dropped.
  bool embeds(const StackingSequence& thick, const StackingSequence& thin) const {
    const int n = thick.plyCount(), m = thin.plyCount();
    const bool pairOnSingle = thick.midPly() && !thin.midPly();
    const int limit = structure_.blending.maxDrops;
    const int covered = std::min(structure_.blending.covering, m);
    std::vector<std::vector<char>> reach(m + 1, std::vector<char>(limit + 1, 0));
    reach[0][0] = 1;
    for (int i = 1; i <= n; ++i) {
      std::vector<std::vector<char>> next(m + 1, std::vector<char>(limit + 1, 0));
      for (int j = 0; j <= m; ++j)
        for (int r = 0; r <= limit; ++r) {
          if (!reach[j][r]) continue;
          if (j < m && thick.codeAt(i) == thin.codeAt(j + 1) && (j >= covered || i == j + 1) &&
              !(pairOnSingle && i == n))
            next[j + 1][0] = 1;
          if (r < limit && j >= covered) next[j][r + 1] = 1;
        }
      reach = std::move(next);
    }
    return std::any_of(reach[m].begin(), reach[m].end(), [](char c) { return c != 0; });
  }

  const BlendedStructure& structure_;
  const BlendedDesign& design_;
  BlendVerdict verdict_;
  std::vector<bool> fits_;
};

}  // namespace

namespace {

void valuesOf(const PanelTotal& total, const PanelDesign& design, PanelValues& values) {
  values.values.clear();
  values.margin = std::numeric_limits<double>::infinity();
  values.requirementsHold = true;
  for (const ModeSurface& surface : total.surfaces) {
    const double value = fullObjective(surface.value, design);
    values.values.push_back(value);
    values.margin = std::min(values.margin, value - surface.limit);
    if (surface.required && !(value >= surface.limit)) values.requirementsHold = false;
  }
}

}  // namespace

PanelValues panelValues(const PanelTotal& total, const StackingSequence& laminate, int hint) {
  PanelValues values;
  if (total.stiffeners == nullptr) {
    PanelDesign design;
    design.skin = laminate;
    design.stiffener.setPlyTotal(0);
    valuesOf(total, design, values);
    return values;
  }
  StiffenerPick pick;
  total.stiffeners->best(laminate, pick, false, hint);
  values.values = std::move(pick.values);
  values.margin = pick.margin;
  values.requirementsHold = pick.requirementsHold;
  values.stiffener = pick.stiffener;
  return values;
}

PanelValues panelValues(const PanelTotal& total, const StackingSequence& laminate, const StackingSequence& stiffener) {
  PanelDesign design;
  design.skin = laminate;
  design.stiffener = stiffener;
  PanelValues values;
  valuesOf(total, design, values);
  return values;
}

BlendVerdict checkBlendedDesign(const BlendedStructure& structure, const BlendedDesign& design) {
  return Checker(structure, design).run();
}

}  // namespace kelm
