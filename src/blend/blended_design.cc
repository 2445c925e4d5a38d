#include "blend/blended_design.h"

#include <algorithm>

namespace kelm {

std::vector<int> countClasses(const std::vector<int>& plies) {
  std::vector<int> classes;
  for (int total : plies) classes.push_back(halfPositions(total));
  std::sort(classes.begin(), classes.end());
  classes.erase(std::unique(classes.begin(), classes.end()), classes.end());
  return classes;
}

int classOf(const std::vector<int>& classes, int plies) {
  const auto found = std::lower_bound(classes.begin(), classes.end(), halfPositions(plies));
  return static_cast<int>(found - classes.begin()) + 1;
}

std::vector<StackingSequence> laminatesFromGuide(const std::vector<GuidePosition>& guide,
                                                 const std::vector<int>& plies) {
  const std::vector<int> classes = countClasses(plies);
  std::vector<StackingSequence> laminates(plies.size());
  for (std::size_t p = 0; p < plies.size(); ++p) {
    StackingSequence& laminate = laminates[p];
    laminate.setPlyTotal(plies[p]);
    const int level = classOf(classes, plies[p]);
    int position = 0;
    for (const GuidePosition& row : guide)
      if (row.level <= level && position < laminate.plyCount()) laminate.setTheta(++position, row.code);
  }
  return laminates;
}

}  // namespace kelm
