#pragma once

#include <string>

#include "cli/ply_numbers_option.h"

namespace kelm {

// The settings of one run, gathered from the command line or the prompts.
struct RunOptions {
  int skinPlyTotal = 0;
  int stiffenerPlyTotal = 0;
  std::string rsFileName;
  std::string optionString = "-b";
  bool balance = true;
  bool fourPlyRule = false;
  bool roundRobin = false;
  bool setPlyNumbers = false;
  // Only the 8-argument form of kelm_iter: skin 0, skin +-45, stiffener 0, stiffener +-45.
  bool plyNumbersGiven = false;
  int commandLinePlyNumbers[4] = {0, 0, 0, 0};

  // Design guidelines asked for with extension options; they apply to both laminates.
  double minSharePercent = 0.0;  // --min-share=P
  int maxRun = 0;                // --max-run=N
  bool noCrossPlyJump = false;   // --no-cross-ply-jump
  bool outer45 = false;          // --outer-45
  // --ply-numbers=: fixed ply numbers without the dialog (they replace it and the 8-argument
  // numbers).
  PlyNumbersOption plyNumbers;
  // --skin-only: one laminate (a plate, or a skin designed alone); the stiffener total is 0.
  bool skinOnly = false;
  // --tight: the tree search (kelm_alt's or each turn's of kelm_iter) with the count bounds
  // and sharper cuts.
  bool tight = false;
  // The tight search's threads and the memory budget of its open designs, in bytes.
  int threads = 1;
  long long memoryBudget = 0;

  void copyGuidelinesFrom(const RunOptions& other) {
    minSharePercent = other.minSharePercent;
    maxRun = other.maxRun;
    noCrossPlyJump = other.noCrossPlyJump;
    outer45 = other.outer45;
    plyNumbers = other.plyNumbers;
    skinOnly = other.skinOnly;
  }
};

}  // namespace kelm
