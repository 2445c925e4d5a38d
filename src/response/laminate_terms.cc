#include "response/laminate_terms.h"

#include <sstream>

#include "base/fatal.h"

namespace kelm {

namespace {

constexpr int kVariables = 8;

int exponentOf(std::int32_t code, int variable) {
  return static_cast<int>((static_cast<std::uint32_t>(code) >> (4 * (variable - 1))) & 0xF);
}

bool isStiffenerVariable(int variable) {
  return variable == 3 || variable == 4 || variable == 7 || variable == 8;
}

}  // namespace

std::string termName(std::int32_t code) {
  std::string name;
  for (int variable = 1; variable <= kVariables; ++variable) {
    const int power = exponentOf(code, variable);
    if (power == 0) continue;
    if (!name.empty()) name += '*';
    name += 'x';
    name += std::to_string(variable);
    if (power > 1) {
      name += '^';
      name += std::to_string(power);
    }
  }
  return name.empty() ? "1" : name;
}

std::optional<std::int32_t> firstStiffenerTerm(const ResponseSurface& surface) {
  const auto& codes = surface.termCodes();
  const auto& values = surface.termValues();
  for (std::size_t i = 0; i < codes.size(); ++i) {
    if (values[i] == 0.0) continue;
    for (int variable = 1; variable <= kVariables; ++variable)
      if (isStiffenerVariable(variable) && exponentOf(codes[i], variable) > 0) return codes[i];
  }
  return std::nullopt;
}

void refuseStiffenerTerms(const ResponseSurface& surface, const std::string& fileName) {
  const std::optional<std::int32_t> term = firstStiffenerTerm(surface);
  if (!term) return;
  std::ostringstream message;
  message << "error: " << fileName << ": a single laminate's surface reads only x1, x2, x5 and "
          << "x6, but the term " << std::hex << *term << " (" << termName(*term)
          << ") reads the stiffener";
  fatal(Stream::Err, message.str(), true);
}

}  // namespace kelm
