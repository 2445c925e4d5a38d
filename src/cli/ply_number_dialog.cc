#include "cli/ply_number_dialog.h"

#include <istream>
#include <ostream>
#include <string>

#include "cli/prompts.h"
#include "laminate/fixed_ply_numbers.h"

namespace kelm {

namespace {

// Asks until the answer is one of the offered numbers, 0 to `most`: a count of positions is
// never negative, and a negative one would leave more positions than the half laminate has.
int askWithin(std::istream& in, std::ostream& err, const std::string& prompt, int most) {
  int value;
  do {
    err << prompt;
    value = readInt(in);
  } while (value < 0 || value > most);
  return value;
}

// The degree and plus-minus signs: their Shift-JIS bytes, or UTF-8 on a UTF-8 terminal.
struct Signs {
  const char* degree;
  const char* plusMinus;
};
constexpr Signs kShiftJisSigns{"\x81\x8B", "\x81\x7D"};
constexpr Signs kUtf8Signs{"\xC2\xB0", "\xC2\xB1"};

void dialogBlock(LaminateRules& rules, const char* header, std::istream& in, std::ostream& err,
                 const Signs& signs) {
  err << header << '\n' << "ply number of each fiber orientation angle" << '\n';
  const int h = rules.halfPlyCount;
  const std::string degree = signs.degree;
  const int ply0 = askWithin(in, err, "    0" + degree + "(0-" + std::to_string(h) + ") : ", h);
  const int rest = h - ply0;
  int ply45 = 0;
  if (rest != 0)
    ply45 = askWithin(in, err, std::string(" ") + signs.plusMinus + "45" + degree + "(0-" +
                                   std::to_string(rest) + ") : ", rest);
  fixPlyNumbers(rules, ply0, ply45);
}

}  // namespace

void plyNumberDialog(LaminateRules& skin, LaminateRules& stiffener, std::istream& in,
                     std::ostream& err, bool utf8Signs) {
  const Signs& signs = utf8Signs ? kUtf8Signs : kShiftJisSigns;
  err << "laminate to set ply number(panel skin->0  stiffener->1  both->2)" << '\n'
      << "   Select=";
  const int select = readInt(in);
  err << '\n';
  if (select != 1) dialogBlock(skin, "## panel skin ##", in, err, signs);
  if (select != 0) dialogBlock(stiffener, "## stiffener  ##", in, err, signs);
}

}  // namespace kelm
