#include "search/design_report.h"

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

}  // namespace

void writeOptimalDesigns(const std::vector<PanelDesign>& results) {
  const std::streamsize precision = std::cout.precision(10);
  for (const PanelDesign& design : results) {
    writeLaminates(design);
    std::cout << "optimal value = " << design.value << '\n';
  }
  std::cout.precision(precision);
}

void writeRankedDesigns(const std::vector<PanelDesign>& designs) {
  const std::streamsize precision = std::cout.precision(10);
  for (const PanelDesign& design : designs) {
    writeLaminates(design);
    std::cout << "value = " << design.value << '\n';
  }
  std::cout.precision(precision);
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
