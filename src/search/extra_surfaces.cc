#include "search/extra_surfaces.h"

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

}  // namespace

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
