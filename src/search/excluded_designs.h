#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "laminate/panel_design.h"

namespace kelm {

// Designs a search must pass over, as when a later check has rejected them (the analysis, a
// supplier's ply book) and the next best ones are wanted. Looked up by the codes of both
// laminates; a lookup allocates nothing, so the completions may ask for every design.
class ExcludedDesigns {
 public:
  void add(const PanelDesign& design);
  bool contains(const PanelDesign& design) const;
  bool empty() const { return designs_.empty(); }
  std::size_t size() const { return designs_.size(); }

 private:
  static std::uint64_t keyOf(const PanelDesign& design);

  std::unordered_multimap<std::uint64_t, std::size_t> index_;
  std::vector<PanelDesign> designs_;
};

}  // namespace kelm
