#include "search/design_report.h"

#include <algorithm>
#include <iostream>

namespace kelm {

namespace {

// One line per laminate; a single laminate has no stiffener line.
void writeLaminates(const PanelDesign& design) {
  design.skin.printSequence();
  std::cout << '\n';
  if (design.stiffener.plyCount() == 0) return;
  design.stiffener.printSequence();
  std::cout << '\n';
}

// The designs a report lists, each followed by `label` and its value.
void writeDesigns(const std::vector<PanelDesign>& designs, bool stopped, const char* label) {
  const std::size_t listed =
      stopped ? std::min(designs.size(), kDesignsListedWhenStopped) : designs.size();
  const std::streamsize precision = std::cout.precision(10);
  for (std::size_t i = 0; i < listed; ++i) {
    writeLaminates(designs[i]);
    std::cout << label << designs[i].value << '\n';
  }
  std::cout.precision(precision);
  if (listed < designs.size())
    std::cout << designs.size() - listed
              << " more designs found so far are not listed: the run was stopped" << '\n';
}

}  // namespace

void writeOptimalDesigns(const std::vector<PanelDesign>& results, bool stopped) {
  writeDesigns(results, stopped, "optimal value = ");
}

void writeRankedDesigns(const std::vector<PanelDesign>& designs, bool stopped) {
  writeDesigns(designs, stopped, "value = ");
}

namespace {

// -1, 0 or 1 as `a`'s codes come before, with or after `b`'s; shorter laminates first.
int compareCodes(const StackingSequence& a, const StackingSequence& b) {
  if (a.plyCount() != b.plyCount()) return a.plyCount() < b.plyCount() ? -1 : 1;
  for (int p = 1; p <= a.plyCount(); ++p)
    if (a.codeAt(p) != b.codeAt(p)) return a.codeAt(p) < b.codeAt(p) ? -1 : 1;
  return 0;
}

}  // namespace

bool codesBefore(const PanelDesign& a, const PanelDesign& b) {
  const int skin = compareCodes(a.skin, b.skin);
  if (skin != 0) return skin < 0;
  return compareCodes(a.stiffener, b.stiffener) < 0;
}

}  // namespace kelm
