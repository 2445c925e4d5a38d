#include "cli/blend_report.h"

#include <algorithm>
#include <iomanip>
#include <sstream>

#include "blend/blend_document.h"

namespace kelm {

std::string numberText(double value) {
  std::ostringstream out;
  out << std::setprecision(10) << value;
  return out.str();
}

std::string pliesText(const std::vector<int>& plies) {
  std::string text;
  for (int p : plies) {
    if (!text.empty()) text += '/';
    text += std::to_string(p);
  }
  return text;
}

namespace {

bool edgeWise(const BlendedStructure& structure) { return structure.blending.form == BlendForm::EdgeWise; }

// A class's column heading: its ply total, or both totals ("37/38") where an odd total shares
// the class's positions, its innermost one as the mid-plane ply.
std::string classHeading(const std::vector<int>& plies, int positions) {
  const bool odd = std::find(plies.begin(), plies.end(), 2 * positions - 1) != plies.end();
  const bool even = std::find(plies.begin(), plies.end(), 2 * positions) != plies.end();
  if (odd && even) return std::to_string(2 * positions - 1) + "/" + std::to_string(2 * positions);
  return std::to_string(odd ? 2 * positions - 1 : 2 * positions);
}

// One column per count class (its ply total), one row per guide position; a dot where the
// class drops the position.
void writeTable(std::ostream& out, const BlendedDesign& design) {
  const std::vector<int> classes = countClasses(design.plies);
  out << "stacking-sequence table (rows outer to inner, columns by ply total):\n";
  out << std::setw(8) << "position";
  for (int c : classes) out << std::setw(6) << classHeading(design.plies, c);
  out << '\n';
  for (std::size_t i = 0; i < design.guide.size(); ++i) {
    out << std::setw(8) << i + 1;
    for (std::size_t c = 0; c < classes.size(); ++c) {
      if (design.guide[i].level <= static_cast<int>(c) + 1)
        out << std::setw(6) << guideAngle(design.guide[i].code);
      else
        out << std::setw(6) << ".";
    }
    out << '\n';
  }
}

// The surface that sets a panel's smallest margin: the one to watch (every value is in the JSON
// document).
std::size_t criticalSurface(const PanelTotal& total, const PanelValues& values) {
  std::size_t critical = 0;
  for (std::size_t s = 0; s < total.surfaces.size(); ++s)
    if (values.values[s] - total.surfaces[s].limit < values.values[critical] - total.surfaces[critical].limit)
      critical = s;
  return critical;
}

}  // namespace

void writeStiffener(std::ostream& out, const BlendPanel& panel, const BlendedDesign& design, std::size_t p) {
  if (panel.stiffener.plies > 0 && p < design.stiffeners.size())
    out << ", stiffener " << panel.stiffener.plies << " plies " << design.stiffeners[p].bracketText();
}

namespace {

void writePanels(std::ostream& out, const BlendedStructure& structure, const BlendedDesign& design,
                 const BlendVerdict& verdict) {
  for (std::size_t p = 0; p < structure.panels.size(); ++p) {
    const PanelTotal* total = structure.panels[p].at(design.plies[p]);
    out << structure.panels[p].name << ": " << design.plies[p] << " plies " << design.laminates[p].bracketText();
    writeStiffener(out, structure.panels[p], design, p);
    const LaminateRules& rules = structure.panels[p].rules;
    if (rules.plyNumbersFixed) out << " (ply numbers " << rules.ply0 << '/' << rules.ply45 << '/' << rules.ply90 << ')';
    if (!total->surfaces.empty()) {
      const std::size_t s = criticalSurface(*total, verdict.panels[p]);
      const ModeSurface& mode = total->surfaces[s];
      out << "  smallest margin " << numberText(verdict.panels[p].margin) << ": " << mode.name << " = "
          << numberText(verdict.panels[p].values[s]);
      if (mode.required) out << " (>= " << numberText(mode.limit) << ")";
    }
    out << '\n';
  }
}

constexpr std::size_t kListedVectors = 20;

void writeCertificate(std::ostream& out, const BlendedStructure& structure, const LightestBlend& result) {
  for (const RuledOutTotal& total : result.ruledOutTotals)
    out << "ruled out: " << structure.panels[total.panel].name << " at " << total.plies << " plies alone ("
        << (total.why == "bound" ? "a required surface's ceiling is below its limit" : "searched: no design")
        << ")\n";
  out << "pairs of totals that cannot be blended: " << result.ruledOutPairs.size() << '\n';
  for (std::size_t i = 0; i < result.ruledOutPairs.size() && i < kListedVectors; ++i) {
    const RuledOutPair& pair = result.ruledOutPairs[i];
    out << "  " << pair.first << " at " << pair.firstPlies << " plies, " << pair.second << " at " << pair.secondPlies
        << ": " << pair.why << '\n';
  }
  if (result.ruledOutPairs.size() > kListedVectors)
    out << "  ... " << result.ruledOutPairs.size() - kListedVectors << " more in the JSON document\n";
  if (!result.ruledOutGroups.empty())
    out << "groups of neighbours that cannot be blended: " << result.ruledOutGroups.size() << '\n';
  for (std::size_t i = 0; i < result.ruledOutGroups.size() && i < kListedVectors; ++i) {
    const RuledOutGroup& group = result.ruledOutGroups[i];
    out << " ";
    for (std::size_t k = 0; k < group.panels.size(); ++k)
      out << (k > 0 ? ", " : " ") << group.panels[k] << " at " << group.plies[k] << " plies";
    out << ": " << group.why << '\n';
  }
  if (result.ruledOutGroups.size() > kListedVectors)
    out << "  ... " << result.ruledOutGroups.size() - kListedVectors << " more in the JSON document\n";
  out << "count vectors searched: " << result.vectorsTried << ", without a design: " << result.ruledOut.size()
      << '\n';
  for (std::size_t i = 0; i < result.ruledOut.size() && i < kListedVectors; ++i) {
    const RuledOutVector& vector = result.ruledOut[i];
    out << "  " << pliesText(vector.plies) << " weight " << numberText(vector.weight) << ": " << vector.why << '\n';
  }
  if (result.ruledOut.size() > kListedVectors)
    out << "  ... " << result.ruledOut.size() - kListedVectors << " more in the JSON document\n";
}

}  // namespace

void writeBlendReport(std::ostream& out, const BlendedStructure& structure, const LightestBlend& result,
                 const BlendVerdict& verdict, double seconds) {
  out << "panels: " << structure.panels.size() << ", neighbour pairs: " << structure.adjacent.size()
      << ", covering " << structure.blending.covering << ", at most " << structure.blending.maxDrops
      << " consecutive drops" << (edgeWise(structure) ? ", edge-wise" : "") << '\n';
  if (result.found) {
    writePanels(out, structure, result.design, verdict);
    if (!edgeWise(structure)) writeTable(out, result.design);
    out << "weight = " << numberText(result.weight) << '\n';
    out << "smallest margin = " << numberText(result.margin);
    if (result.status == LightestBlend::Status::Optimal && !result.marginMaximised)
      out << " (not raised: --weight-only, the first design found of the lightest weight)";
    out << '\n';
  } else {
    out << "no blended design found\n";
  }
  writeCertificate(out, structure, result);
  if (result.status == LightestBlend::Status::Stopped && result.found && !(result.lowerBound < result.weight)) {
    out << "lower bound = " << numberText(result.lowerBound)
        << " (certified: the weight is the lightest; stopped while raising the smallest margin)\n";
  } else if (result.status == LightestBlend::Status::Stopped) {
    out << "lower bound = " << numberText(result.lowerBound) << " (every lighter count vector holds no design)\n";
    if (result.found) out << "gap = " << numberText(result.weight - result.lowerBound) << '\n';
  } else if (result.found) {
    out << "lower bound = " << numberText(result.lowerBound) << " (certified: the weight is the lightest)\n";
  }
  if (!result.startOutcome.empty()) out << "start: " << result.startOutcome << '\n';
  if (!result.pending.empty())
    out << "searching when stopped: " << pliesText(result.pending) << '\n';
  out << "status: " << blendStatusName(result.status) << '\n';
  if (result.guidesAnnealed > 0) out << "guides annealed: " << result.guidesAnnealed << '\n';
  if (result.workers > 0) out << "count vectors decided by " << result.workers << " workers\n";
  out << (edgeWise(structure) ? "positions searched: " : "guide positions searched: ") << result.nodes
      << ", time = " << std::fixed << std::setprecision(3)
      << seconds << " [s]\n";
  out.unsetf(std::ios::fixed);
}

}  // namespace kelm
