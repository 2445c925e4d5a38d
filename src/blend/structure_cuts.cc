#include "blend/structure_cuts.h"

#include <algorithm>
#include <set>

namespace kelm {

namespace {

// Each panel's neighbours, with the index of the joint to each.
using Joints = std::vector<std::vector<std::pair<int, std::size_t>>>;

Joints jointsOfEachPanel(int panels, const std::vector<std::pair<int, int>>& adjacent) {
  Joints joints(panels);
  for (std::size_t j = 0; j < adjacent.size(); ++j) {
    joints[adjacent[j].first].emplace_back(adjacent[j].second, j);
    joints[adjacent[j].second].emplace_back(adjacent[j].first, j);
  }
  return joints;
}

// The connected parts of the structure with the joints cutA and cutB taken out.
std::vector<std::vector<int>> partsWithout(int panels, const Joints& joints, std::size_t cutA, std::size_t cutB) {
  std::vector<int> part(panels, -1);
  int parts = 0;
  for (int seed = 0; seed < panels; ++seed) {
    if (part[seed] >= 0) continue;
    std::vector<int> open{seed};
    part[seed] = parts;
    while (!open.empty()) {
      const int p = open.back();
      open.pop_back();
      for (const auto& [q, j] : joints[p])
        if (j != cutA && j != cutB && part[q] < 0) part[q] = parts, open.push_back(q);
    }
    ++parts;
  }
  std::vector<std::vector<int>> members(parts);
  for (int p = 0; p < panels; ++p) members[part[p]].push_back(p);
  return members;
}

}  // namespace

std::vector<std::vector<int>> sidesOfNarrowCuts(int panels, const std::vector<std::pair<int, int>>& adjacent,
                                                std::size_t smallest, std::size_t largest) {
  std::set<std::vector<int>> sides;
  const Joints joints = jointsOfEachPanel(panels, adjacent);
  for (std::size_t a = 0; a < adjacent.size(); ++a)
    for (std::size_t b = a; b < adjacent.size(); ++b) {  // b == a: a single joint
      const std::vector<std::vector<int>> parts = partsWithout(panels, joints, a, b);
      if (parts.size() < 2) continue;
      for (const std::vector<int>& side : parts)
        if (side.size() >= smallest && side.size() <= largest) sides.insert(side);
    }
  std::vector<std::vector<int>> sorted(sides.begin(), sides.end());
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const std::vector<int>& x, const std::vector<int>& y) { return x.size() < y.size(); });
  return sorted;
}

}  // namespace kelm
