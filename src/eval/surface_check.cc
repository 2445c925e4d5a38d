#include "eval/surface_check.h"

#include <Eigen/Eigenvalues>
#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <vector>

#include "base/fatal.h"
#include "laminate/angle_code.h"
#include "response/full_objective.h"
#include "response/response_surface.h"
#include "response/rs_file.h"

namespace kelm {

namespace {

constexpr std::size_t kMaxCheckedBytes = 64u << 20;

bool isHexToken(const std::string& token) {
  std::size_t start = (token[0] == '-' || token[0] == '+') ? 1 : 0;
  if (token.compare(start, 2, "0x") == 0 || token.compare(start, 2, "0X") == 0) start += 2;
  return start < token.size() &&
         std::all_of(token.begin() + static_cast<long>(start), token.end(),
                     [](unsigned char c) { return std::isxdigit(c) != 0; });
}

// Why the reader refuses a line (it has already been found refused).
std::string refusalReason(const std::string& line) {
  if (line.compare(0, 3, "\xEF\xBB\xBF") == 0) return "a byte-order mark starts the file";
  std::istringstream in(line);
  std::string first;
  if (!(in >> first)) return "a blank line";
  if (first[0] == '#') return "a comment that does not start at the first character";
  if (isHexToken(first)) {
    std::string second;
    if (!(in >> second)) return "a code without a coefficient";
    std::int32_t code = 0;
    std::istringstream codeIn(first);
    if (!(codeIn >> std::hex >> code)) return "a code beyond 32 bits";
    return "a coefficient that is not a number (\"" + second + "\")";
  }
  return "a code that is not a hexadecimal number (\"" + first + "\")";
}

// The exponent of each of the eight variables in a code (hexadecimal digit i for x(i+1)).
struct Exponents {
  int of[8] = {};
  int degree = 0;
  int variables = 0;
  int highest = 0;
};
Exponents exponentsOf(std::int32_t code) {
  Exponents e;
  const auto bits = static_cast<std::uint32_t>(code);
  for (int i = 0; i < 8; ++i) {
    e.of[i] = static_cast<int>((bits >> (4 * i)) & 0xF);
    e.degree += e.of[i];
    e.variables += e.of[i] > 0 ? 1 : 0;
    e.highest = std::max(e.highest, e.of[i]);
  }
  return e;
}

const char* kindOf(const Exponents& e) {
  if (e.degree == 0) return "constant";
  if (e.degree == 1) return "linear";
  return e.variables == 1 ? "square" : "product";
}

// A coefficient followed at once by text that would continue a number elsewhere (a decimal
// comma, a second point): the reader stopped before it.
bool looksCutShort(const std::string& rest) {
  return rest.size() >= 2 && (rest[0] == ',' || rest[0] == '.') &&
         std::isdigit(static_cast<unsigned char>(rest[1])) != 0;
}

void reportTerms(const std::vector<std::string>& lines, std::ostream& out,
                 std::map<std::string, int>& kinds) {
  std::map<std::int32_t, int> firstLine;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const int number = static_cast<int>(i) + 1;
    const RsLine read = readRsLine(lines[i]);
    if (read.kind != RsLine::Kind::Term) continue;
    if (looksCutShort(read.rest))
      out << "line " << number << ": the coefficient is read as " << read.coefficient
          << "; the text after it (\"" << read.rest << "\") is ignored\n";
    const Exponents e = exponentsOf(read.code);
    const auto [seen, fresh] = firstLine.emplace(read.code, number);
    if (!fresh) {
      out << "line " << number << ": repeats the code of line " << seen->second
          << ", which counts; this line is never used\n";
    } else if (e.highest > 2 || e.degree > 2) {
      out << "line " << number << ": a term of degree " << e.degree << " in " << e.variables
          << " variable(s) is read but never used (the surface is quadratic)\n";
    } else {
      ++kinds[kindOf(e)];
    }
  }
}

// The value of panels whose laminates have every ply at one angle: their lamination
// parameters are that angle's (cos 2 theta, cos 4 theta), in-plane and bending alike.
void reportFacts(const std::string& text, const std::map<std::string, int>& kinds,
                 std::ostream& out) {
  out << "terms used:";
  for (const char* kind : {"constant", "linear", "square", "product"}) {
    const auto it = kinds.find(kind);
    out << ' ' << (it == kinds.end() ? 0 : it->second) << ' ' << kind;
  }
  out << '\n';
  ResponseSurface model;
  parseRsText(text, model);
  FullObjective objective;
  objective.setFullObjective(model);
  const std::streamsize precision = out.precision(10);
  for (const auto& [code, name] : {std::pair{kCode0, "0"}, {kCode45, "+-45"}, {kCode90, "90"}}) {
    double x[8];
    for (int i = 0; i < 8; ++i) x[i] = i % 2 == 0 ? cos2Of(code) : cos4Of(code);
    out << "value of all-" << name << " panels: " << objective.fullObjective(x) << '\n';
  }
  const Mathmx hessian = model.quadratic();
  Eigen::Matrix<double, 8, 8> h;
  for (int i = 0; i < 8; ++i)
    for (int j = 0; j < 8; ++j) h(i, j) = hessian(i + 1, j + 1);
  const Eigen::SelfAdjointEigenSolver<Eigen::Matrix<double, 8, 8>> solver(h);
  const auto& values = solver.eigenvalues();
  const double scale = std::max(1.0, values.cwiseAbs().maxCoeff());
  const bool concave = values.maxCoeff() <= 1e-12 * scale;
  out << "Hessian eigenvalues from " << values.minCoeff() << " to " << values.maxCoeff() << ": "
      << (concave ? "concave (every stationary point is the maximum)"
                  : "not concave (the maximum lies on the edge of the feasible region)")
      << '\n';
  out.precision(precision);
}

}  // namespace

int checkSurfaceFile(const std::string& fileName, std::ostream& out) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) {
    out << fileName << ": cannot be opened\n";
    return 1;
  }
  std::string text;
  text.resize(kMaxCheckedBytes);
  in.read(text.data(), static_cast<std::streamsize>(kMaxCheckedBytes));
  text.resize(static_cast<std::size_t>(in.gcount()));
  long long tooLong = -1;
  const std::vector<std::string> lines = splitRsLines(text, tooLong);
  out << fileName << ": " << lines.size() + (tooLong >= 0 ? 1 : 0) << " lines read\n";
  std::map<std::string, int> kinds;
  reportTerms(lines, out, kinds);
  if (tooLong >= 0) {
    out << "line " << tooLong + 1 << ": refused: longer than " << kMaxRsLineLength
        << " characters\n";
    return 1;
  }
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (readRsLine(lines[i]).kind != RsLine::Kind::Refused) continue;
    out << "line " << i + 1 << ": refused: " << refusalReason(lines[i]) << '\n';
    out << "the searches refuse this file (\"error: RsFile\")\n";
    return 1;
  }
  try {
    ResponseSurface model;
    parseRsText(text, model);
  } catch (const Failure& refusal) {
    out << "the searches refuse this file (\"" << refusal.message() << "\")\n";
    return 1;
  }
  reportFacts(text, kinds, out);
  out << "the searches accept this file\n";
  return 0;
}

}  // namespace kelm
