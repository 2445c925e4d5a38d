#include "eval/designs_file.h"

#include <istream>
#include <sstream>

namespace kelm {

namespace {

bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> found;
  for (std::string word; in >> word;) found.push_back(word);
  return found;
}

}  // namespace

std::vector<DesignText> readDesignTexts(std::istream& in, bool singleLaminate) {
  std::vector<DesignText> designs;
  std::vector<std::pair<std::string, int>> brackets;  // bracket lines since the last design
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::vector<std::string> parts = words(line);
    if (singleLaminate) {
      if (parts.size() == 1 && startsWith(parts[0], "[")) designs.push_back({parts[0], "", number});
    } else if (startsWith(line, "> ") || startsWith(line, "step ")) {
      brackets.clear();
    } else if (parts.size() == 2 && startsWith(parts[0], "[") && startsWith(parts[1], "[")) {
      designs.push_back({parts[0], parts[1], number});
      brackets.clear();
    } else if (parts.size() == 1 && startsWith(parts[0], "[")) {
      brackets.emplace_back(parts[0], number);
    } else if ((startsWith(line, "optimal value = ") || startsWith(line, "value = ")) &&
               brackets.size() >= 2) {
      const auto& skin = brackets[brackets.size() - 2];
      designs.push_back({skin.first, brackets.back().first, skin.second});
      brackets.clear();
    }
  }
  return designs;
}

}  // namespace kelm
