#include "cli/prompts.h"

#include <istream>
#include <locale>
#include <ostream>

#include "base/fatal.h"

namespace kelm {

namespace {

[[noreturn]] void invalidInput() { fatal(Stream::Err, "error: invalid input", true); }

// An answer that never ends must not fill the memory.
constexpr std::size_t kMaxAnswerLength = 4095;

int prompted(std::istream& in, std::ostream& out, const char* question) {
  out << question << '\n' << " : ";
  return readInt(in);
}

std::string promptedWord(std::istream& in, std::ostream& out, const char* question) {
  out << question << '\n' << " : ";
  return readWord(in);
}

}  // namespace

int readInt(std::istream& in) {
  int value = 0;
  if (!(in >> value)) invalidInput();
  return value;
}

std::string readWord(std::istream& in) {
  std::string word;
  in >> std::ws;
  for (int c = in.peek(); c != std::char_traits<char>::eof(); c = in.peek()) {
    if (std::isspace(static_cast<char>(c), in.getloc())) break;
    if (word.size() == kMaxAnswerLength) invalidInput();
    word.push_back(static_cast<char>(in.get()));
  }
  if (word.empty()) invalidInput();
  return word;
}

// "orientaion" is the program's own spelling and stays so: scripts answer this prompt.
void promptForInputs(RunOptions& options, std::istream& in, std::ostream& out) {
  options.skinPlyTotal = prompted(in, out, "total ply number of panel skin");
  options.stiffenerPlyTotal = prompted(in, out, "total ply number of stiffener");
  options.rsFileName = promptedWord(in, out, "name of response surface file");
  options.optionString = promptedWord(in, out,
                                      "option symbols followed hyphen (\"s\" to skip)\n"
                                      "  r : round robin search\n"
                                      "  b : balance rule (default)\n"
                                      "  n : non-balanced laminate\n"
                                      "  f : 4-ply rule\n"
                                      "  p : set ply number of each orientaion");
  if (options.optionString == "s") options.optionString = "-b";
}

}  // namespace kelm
