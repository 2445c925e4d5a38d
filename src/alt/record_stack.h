#pragma once

#include <utility>
#include <vector>

namespace kelm {

// Depth-first order for the subtree of one open design, when the store may not grow: the same
// push/pop face as the best-first heap, so one expansion serves both.
template <typename Record>
struct RecordStack {
  std::vector<Record> items;
  void push(Record&& record) { items.push_back(std::move(record)); }
  Record pop() {
    Record record = std::move(items.back());
    items.pop_back();
    return record;
  }
};

}  // namespace kelm
