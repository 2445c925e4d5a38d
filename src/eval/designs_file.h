#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace kelm {

// One design typed in a designs file: its two half laminates in bracket form and the line it
// came from.
struct DesignText {
  std::string skin;
  std::string stiffener;
  int line = 0;
};

// The designs of a designs file: a line that holds two bracket forms is one design (skin, then
// stiffener); the report of a search, pasted as it is, gives its optimal designs (the two
// bracket lines above each "optimal value = " line, or each "value = " line of a list of the
// best designs). Round lines of kelm_iter ("> ...") and
// every other line are passed over.
//
// For single laminates (`singleLaminate`) every line that holds one bracket form is a design
// (a pasted report of a single laminate has one bracket line per design); the stiffener texts
// stay empty.
std::vector<DesignText> readDesignTexts(std::istream& in, bool singleLaminate = false);

}  // namespace kelm
