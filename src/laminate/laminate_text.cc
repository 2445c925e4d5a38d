#include "laminate/laminate_text.h"

#include <vector>

#include "base/fatal.h"
#include "laminate/angle_code.h"

namespace kelm {

namespace {

[[noreturn]] void reject(const std::string& message) {
  fatal(Stream::Err, "kelm_eval: " + message, true);
}

std::string stripBrackets(const std::string& text, const char* name) {
  std::string body = text;
  if (!body.empty() && body.back() == 's') body.pop_back();
  const bool open = !body.empty() && body.front() == '[';
  const bool close = !body.empty() && body.back() == ']';
  if (open != close) reject(std::string("malformed ") + name + " sequence \"" + text + "\"");
  if (open) body = body.substr(1, body.size() - 2);
  return body;
}

int codeOfAngle(const std::string& angle, const std::string& text, const char* name) {
  if (angle == "0") return kCode0;
  if (angle == "45" || angle == "-45" || angle == "+45") return kCode45;
  if (angle == "90") return kCode90;
  if (angle.empty()) reject(std::string("malformed ") + name + " sequence \"" + text + "\"");
  reject(std::string("angle \"") + angle + "\" in the " + name +
         " sequence is not one of 0, 45, -45, 90");
}

std::vector<int> codesOf(const std::string& text, const char* name) {
  const std::string body = stripBrackets(text, name);
  std::vector<int> codes;
  std::size_t start = 0;
  while (true) {
    const std::size_t slash = body.find('/', start);
    codes.push_back(codeOfAngle(body.substr(start, slash - start), text, name));
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  return codes;
}

}  // namespace

StackingSequence parseHalfLaminate(const std::string& text, int plyTotal, const char* name) {
  const std::vector<int> codes = codesOf(text, name);
  StackingSequence sequence;
  sequence.setPlyTotal(plyTotal);
  if (static_cast<int>(codes.size()) != sequence.plyCount())
    reject(std::string("the ") + name + " sequence has " + std::to_string(codes.size()) +
           " positions; a half laminate of " + std::to_string(plyTotal) + " plies has " +
           std::to_string(sequence.plyCount()));
  for (int i = 0; i < sequence.plyCount(); ++i) sequence.setTheta(i + 1, codes[i]);
  return sequence;
}

}  // namespace kelm
