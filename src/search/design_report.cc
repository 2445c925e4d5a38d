#include "search/design_report.h"

#include <iostream>

namespace kelm {

void writeOptimalDesigns(const std::vector<PanelDesign>& results) {
  const std::streamsize precision = std::cout.precision(10);
  for (const PanelDesign& design : results) {
    design.skin.printSequence();
    std::cout << '\n';
    design.stiffener.printSequence();
    std::cout << '\n' << "optimal value = " << design.value << '\n';
  }
  std::cout.precision(precision);
}

}  // namespace kelm
