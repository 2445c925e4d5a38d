#include "alt/drawn_laminates.h"

#include <utility>
#include <vector>

#include "laminate/angle_code.h"

namespace kelm {

int drawCode(CRand& random, int excluded) {
  if (excluded == kNoExclusion) return random.next() % kSearchedCodes;
  const int r = random.next() % (kSearchedCodes - 1);
  return r >= excluded ? r + 1 : r;
}

void drawLaminate(StackingSequence& sequence, CRand& random, int excluded) {
  for (int position = 1; position <= sequence.plyCount(); ++position)
    sequence.resetTheta(position, drawCode(random, excluded));
}

StackingSequence drawnLaminate(int total, const LaminateRules& rules, CRand& random) {
  StackingSequence sequence;
  sequence.setPlyTotal(total);
  const int n = sequence.plyCount();
  std::vector<int> codes(n, kCode90);
  if (rules.plyNumbersFixed) {
    for (int i = 0; i < n; ++i)
      codes[i] = i < rules.ply0 ? kCode0 : i < rules.ply0 + rules.ply45 ? kCode45 : kCode90;
    for (int i = n; i > 1; --i) std::swap(codes[i - 1], codes[random.next() % i]);
  } else {
    for (int& code : codes) code = random.next() % kSearchedCodes;
  }
  for (int p = 1; p <= n; ++p) sequence.setTheta(p, codes[p - 1]);
  return sequence;
}

}  // namespace kelm
