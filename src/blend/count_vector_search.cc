#include "blend/count_vector_search.h"

#include "blend/class_insertion_search.h"
#include "blend/edge_wise_search.h"
#include "blend/table_search.h"

namespace kelm {

std::unique_ptr<CountVectorSearch> makeCountVectorSearch(const BlendedStructure& structure,
                                                         const std::vector<int>& plies,
                                                         CompletionsCache* completions, TableOrder order) {
  if (structure.blending.form == BlendForm::EdgeWise) return std::make_unique<EdgeWiseSearch>(structure, plies);
  if (order == TableOrder::ThinnestClassFirst)
    return std::make_unique<ClassInsertionSearch>(structure, plies, completions);
  return std::make_unique<TableSearch>(structure, plies, completions);
}

}  // namespace kelm
