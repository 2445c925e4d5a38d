#include "cli/ply_numbers_option.h"

#include <vector>

#include "base/fatal.h"
#include "laminate/fixed_ply_numbers.h"

namespace kelm {

namespace {

[[noreturn]] void malformed() {
  fatal(Stream::Err,
        "error: --ply-numbers= takes SKIN_0,SKIN_45,SKIN_90[:STIFFENER_0,STIFFENER_45,"
        "STIFFENER_90], whole numbers of positions of the designed halves",
        true);
}

int wholeNumberOf(const std::string& text) {
  const bool digits = !text.empty() && text.size() <= 6 &&
                      text.find_first_not_of("0123456789") == std::string::npos;
  if (!digits) malformed();
  return std::stoi(text);
}

// Three numbers separated by commas, or none for an empty part.
std::optional<std::array<int, 3>> laminatePart(const std::string& part) {
  if (part.empty()) return std::nullopt;
  std::vector<std::string> items(1);
  for (const char c : part) {
    if (c == ',') items.emplace_back();
    else items.back() += c;
  }
  if (items.size() != 3) malformed();
  return std::array<int, 3>{wholeNumberOf(items[0]), wholeNumberOf(items[1]),
                            wholeNumberOf(items[2])};
}

void fixChecked(const std::array<int, 3>& numbers, LaminateRules& rules, const char* name) {
  const int h = rules.halfPlyCount;
  const std::string which = std::string("error: --ply-numbers=: the ") + name + "'s ";
  if (numbers[0] > h)
    fatal(Stream::Err, which + "0 deg positions must be 0 to " + std::to_string(h), true);
  const int rest = h - numbers[0];
  if (numbers[1] > rest)
    fatal(Stream::Err, which + "+-45 deg positions must be 0 to " + std::to_string(rest), true);
  if (numbers[2] != rest - numbers[1])
    fatal(Stream::Err, which + "positions must add up to its designed half's " +
                           std::to_string(h) + " (90 deg: " + std::to_string(rest - numbers[1]) + ")",
          true);
  fixPlyNumbers(rules, numbers[0], numbers[1]);
  refuseUnreachablePlyNumbers(rules);
}

}  // namespace

PlyNumbersOption plyNumbersOf(const std::string& value) {
  const std::size_t colon = value.find(':');
  PlyNumbersOption option;
  option.skin = laminatePart(value.substr(0, colon));
  if (colon != std::string::npos) {
    option.stiffener = laminatePart(value.substr(colon + 1));
    if (!option.stiffener) malformed();
  }
  if (!option.given()) malformed();
  return option;
}

void applyPlyNumbers(const PlyNumbersOption& option, LaminateRules& skin,
                     LaminateRules& stiffener) {
  if (option.skin) fixChecked(*option.skin, skin, "skin");
  if (option.stiffener) fixChecked(*option.stiffener, stiffener, "stiffener");
}

}  // namespace kelm
