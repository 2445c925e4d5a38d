#include "laminate/ply_runs.h"

namespace kelm {

namespace {

// Length of the run of equal codes that ends at position `end`.
int runEndingAt(const StackingSequence& seq, int end) {
  const int code = seq.getCode(end);
  int length = 1;
  for (int i = end - 1; i >= 1 && seq.getCode(i) == code; --i) ++length;
  return length;
}

}  // namespace

bool runLimitPartial(const StackingSequence& seq, int limit) {
  const int s = seq.setCount();
  const int h = seq.plyCount();
  if (s < 1) return true;
  const bool applies = s == h ? h >= 3 : s >= limit + 1;
  if (!applies || seq.getCode(s) == kCode45) return true;
  const int run = runEndingAt(seq, s);
  return s < h ? run <= limit : run <= limit / 2;
}

std::optional<PlyRun> runLimitBreak(const StackingSequence& seq, int limit) {
  const int h = seq.plyCount();
  for (int first = 1; first <= h;) {
    const int code = seq.codeAt(first);
    int last = first;
    while (last < h && seq.codeAt(last + 1) == code) ++last;
    const int allowed = last == h ? limit / 2 : limit;
    if (code != kCode45 && last - first + 1 > allowed) return PlyRun{first, last};
    first = last + 1;
  }
  return std::nullopt;
}

}  // namespace kelm
