#include "cli/timed_run.h"

#include <ctime>
#include <iostream>

namespace kelm {

// "caluclation" is the program's own spelling and stays so: scripts look for this line.
void timeAndReport(SearchDriver& driver, const RunOptions& options) {
  const std::clock_t start = std::clock();
  driver.run(options.skinPlyTotal, options.stiffenerPlyTotal);
  const std::clock_t end = std::clock();
  driver.report();
  const long long milliseconds =
      static_cast<long long>(end - start) * 1000 / static_cast<long long>(CLOCKS_PER_SEC);
  std::cout << "caluclation time = " << milliseconds * 0.001 << " [s]" << '\n' << '\n';
  std::cout.flush();
}

}  // namespace kelm
