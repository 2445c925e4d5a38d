#include "cli/ply_range.h"

#include <cmath>
#include <cstdlib>

#include "base/fatal.h"
#include "cli/command_line.h"

namespace kelm {

namespace {

// The searches need more than four plies in a laminate.
constexpr int kFewestPlies = 5;

bool wholeNumber(const std::string& text, int& value) {
  if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  value = std::stoi(text);
  return value >= kFewestPlies && value <= kMaxPlyTotal;
}

// "A:B" with A <= B.
bool rangeOf(const std::string& text, int& first, int& last) {
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos) return false;
  return wholeNumber(text.substr(0, colon), first) && wholeNumber(text.substr(colon + 1), last) &&
         first <= last;
}

void replaceAll(std::string& text, const std::string& placeholder, const std::string& value) {
  for (std::size_t at = text.find(placeholder); at != std::string::npos;
       at = text.find(placeholder, at + value.size()))
    text.replace(at, placeholder.size(), value);
}

}  // namespace

PlyRange plyRangeOf(const std::string& value) {
  PlyRange range;
  const std::size_t slash = value.find('/');
  const bool valid =
      slash == std::string::npos
          ? rangeOf(value, range.skinFirst, range.skinLast)
          : rangeOf(value.substr(0, slash), range.skinFirst, range.skinLast) &&
                rangeOf(value.substr(slash + 1), range.stiffenerFirst, range.stiffenerLast);
  if (!valid)
    fatal(Stream::Err,
          "error: --plies= takes FIRST:LAST (one laminate) or FIRST:LAST/FIRST:LAST (skin, then "
          "stiffener), whole numbers of 5 to 100000 plies, FIRST not above LAST",
          true);
  return range;
}

PlyWeights plyWeightsOf(const std::string& value) {
  const std::size_t comma = value.find(',');
  PlyWeights weights;
  char* end = nullptr;
  bool valid = comma != std::string::npos;
  if (valid) {
    const std::string skin = value.substr(0, comma);
    const std::string stiffener = value.substr(comma + 1);
    weights.skin = std::strtod(skin.c_str(), &end);
    valid = !skin.empty() && *end == '\0';
    weights.stiffener = std::strtod(stiffener.c_str(), &end);
    valid = valid && !stiffener.empty() && *end == '\0';
  }
  if (!valid || !(weights.skin > 0.0) || !(weights.stiffener > 0.0) ||
      !std::isfinite(weights.skin) || !std::isfinite(weights.stiffener))
    fatal(Stream::Err,
          "error: --weights= takes SKIN_PER_PLY,STIFFENER_PER_PLY, two positive numbers", true);
  return weights;
}

std::string withPlies(const std::string& name, int skinPlies, int stiffenerPlies) {
  std::string result = name;
  if (stiffenerPlies == 0) {
    replaceAll(result, "{plies}", std::to_string(skinPlies));
  } else {
    replaceAll(result, "{skin}", std::to_string(skinPlies));
    replaceAll(result, "{stiffener}", std::to_string(stiffenerPlies));
  }
  return result;
}

}  // namespace kelm
