#include "alt/subtree_hand_over.h"

#include <cstdlib>
#include <string>

namespace kelm {

namespace {

int readSetting() {
  const char* text = std::getenv("KELM_SUBTREE_ROOTS");
  if (!text || !*text) return kDefaultSubtreeRoots;
  try {
    std::size_t used = 0;
    const long value = std::stol(text, &used);
    if (used == std::string(text).size() && value >= 1 && value <= 1'000'000'000)
      return static_cast<int>(value);
  } catch (const std::exception&) {
  }
  return kDefaultSubtreeRoots;  // not a positive whole number: the setting is ignored
}

}  // namespace

int subtreeRootsSetting() {
  static const int setting = readSetting();
  return setting;
}

}  // namespace kelm
