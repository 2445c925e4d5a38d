#include "search/extra_surfaces.h"

#include <algorithm>

#include <cstdlib>
#include <functional>
#include <map>

namespace kelm {

namespace {

// The mean of the surfaces, term by term (the first line of a code counts, as the reader).
ResponseSurface meanOf(const std::vector<const ResponseSurface*>& surfaces) {
  std::map<std::int32_t, double> terms;
  for (const ResponseSurface* surface : surfaces) {
    std::map<std::int32_t, double> first;
    for (std::size_t i = 0; i < surface->termCodes().size(); ++i)
      first.emplace(surface->termCodes()[i], surface->termValues()[i]);
    for (const auto& [code, value] : first) terms[code] += value / surfaces.size();
  }
  ResponseSurface mean;
  for (const auto& [code, value] : terms) mean.appendTerm(code, value);
  mean.build();
  return mean;
}

// The combination with weights in steps of 1/steps.
ResponseSurface combinationOf(const ResponseSurface& model, const ExtraSurfaces& extras,
                              const std::vector<int>& weights, int steps) {
  std::vector<double> shares;
  for (const int w : weights) shares.push_back(static_cast<double>(w) / steps);
  return weightedCombination(model, extras, shares);
}

// Every way to share `steps` among `count` surfaces, more than one of them weighted.
std::vector<std::vector<int>> gridWeights(int count, int steps) {
  std::vector<std::vector<int>> all;
  std::vector<int> w(count, 0);
  std::function<void(int, int)> fill = [&](int k, int left) {
    if (k + 1 == count) {
      w[k] = left;
      if (std::count(w.begin(), w.end(), 0) < count - 1) all.push_back(w);
      return;
    }
    for (int v = left; v >= 0; --v) {
      w[k] = v;
      fill(k + 1, left - v);
    }
  };
  fill(0, steps);
  return all;
}

// Fine enough to follow a kink, coarse enough that a walk over it stays short and its tables
// (one pair per combination) stay small; three surfaces get a finer grid where `fine`.
int gridSteps(std::size_t count, bool fine) {
  if (count == 2) return 8;
  if (count == 3) return fine ? 12 : 6;
  if (count == 4) return 4;
  if (count <= 6) return 2;
  return 0;
}

}  // namespace

CombinationGrid combinationGrid(const ResponseSurface& model, const ExtraSurfaces& extras,
                                bool fine) {
  std::vector<const ResponseSurface*> objectives = {&model};
  objectives.insert(objectives.end(), extras.minOf.begin(), extras.minOf.end());
  CombinationGrid grid;
  const int count = static_cast<int>(objectives.size());
  const int steps = gridSteps(objectives.size(), fine);
  if (count < 2 || steps == 0) return grid;
  grid.weights = gridWeights(count, steps);
  int nearest = steps * steps;
  for (std::size_t i = 0; i < grid.weights.size(); ++i) {
    grid.surfaces.push_back(combinationOf(model, extras, grid.weights[i], steps));
    int spread = 0;
    for (int w : grid.weights[i]) spread = std::max(spread, std::abs(w * count - steps));
    if (spread < nearest) nearest = spread, grid.equalMean = static_cast<int>(i);
  }
  grid.neighbours.resize(grid.weights.size());
  for (std::size_t i = 0; i < grid.weights.size(); ++i)
    for (std::size_t j = 0; j < grid.weights.size(); ++j) {
      int moved = 0;
      for (int k = 0; k < count; ++k) moved += std::abs(grid.weights[i][k] - grid.weights[j][k]);
      if (moved == 2) grid.neighbours[i].push_back(static_cast<int>(j));
    }
  return grid;
}

// Term by term as the mean (the first line of a code counts).
ResponseSurface weightedCombination(const ResponseSurface& model, const ExtraSurfaces& extras,
                                    const std::vector<double>& weights) {
  std::vector<const ResponseSurface*> objectives = {&model};
  objectives.insert(objectives.end(), extras.minOf.begin(), extras.minOf.end());
  std::map<std::int32_t, double> terms;
  for (std::size_t k = 0; k < objectives.size() && k < weights.size(); ++k) {
    if (weights[k] == 0.0) continue;
    std::map<std::int32_t, double> first;
    for (std::size_t i = 0; i < objectives[k]->termCodes().size(); ++i)
      first.emplace(objectives[k]->termCodes()[i], objectives[k]->termValues()[i]);
    for (const auto& [code, value] : first) terms[code] += value * weights[k];
  }
  ResponseSurface combination;
  for (const auto& [code, value] : terms) combination.appendTerm(code, value);
  combination.build();
  return combination;
}

std::vector<ResponseSurface> boundingMeans(const ResponseSurface& model, const ExtraSurfaces& extras) {
  std::vector<const ResponseSurface*> objectives = {&model};
  objectives.insert(objectives.end(), extras.minOf.begin(), extras.minOf.end());
  std::vector<ResponseSurface> means;
  if (objectives.size() < 2) return means;
  means.push_back(meanOf(objectives));
  if (objectives.size() > 4 || objectives.size() == 2) return means;
  for (std::size_t i = 0; i < objectives.size(); ++i)
    for (std::size_t j = i + 1; j < objectives.size(); ++j)
      means.push_back(meanOf({objectives[i], objectives[j]}));
  return means;
}

}  // namespace kelm
