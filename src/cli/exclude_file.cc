#include "cli/exclude_file.h"

#include <fstream>
#include <sstream>
#include <vector>

#include "base/fatal.h"
#include "base/whole_file.h"
#include "eval/designs_file.h"
#include "fitting/csv_table.h"
#include "laminate/laminate_text.h"

namespace kelm {

namespace {

// The laminate parser speaks for kelm_eval; here the option and the file are named instead.
PanelDesign parsedDesign(const DesignText& text, const std::string& file, int skinPlyTotal,
                         int stiffenerPlyTotal) {
  const std::string at = " (line " + std::to_string(text.line) + ")";
  try {
    PanelDesign design;
    design.skin = parseHalfLaminate(text.skin, skinPlyTotal, ("skin" + at).c_str());
    if (stiffenerPlyTotal == 0) {  // a single laminate
      design.stiffener.setPlyTotal(0);
      return design;
    }
    design.stiffener =
        parseHalfLaminate(text.stiffener, stiffenerPlyTotal, ("stiffener" + at).c_str());
    return design;
  } catch (const Failure& failure) {
    std::string message = failure.message();
    const std::string evalPrefix = "kelm_eval: ";
    if (message.rfind(evalPrefix, 0) == 0) message.erase(0, evalPrefix.size());
    fatal(Stream::Err, "error: --exclude=" + file + ": " + message, true);
  }
}

// A table whose header names the columns "skin" and "stiffener" (a plan or its analyses; a
// single laminate's plan has no stiffener column); its
// rows are numbered as lines 2, 3, ... of the file (blank lines not counted).
std::vector<DesignText> csvDesignTexts(const std::string& text, const std::string& file) {
  const CsvTable table = parseCsv(text, file);
  const int skin = table.column("skin");
  const int stiffener = table.column("stiffener");
  std::vector<DesignText> designs;
  for (std::size_t row = 0; row < table.rows.size(); ++row) {
    const std::vector<std::string>& cells = table.rows[row];
    const auto cell = [&](int column) {
      return column >= 0 && column < static_cast<int>(cells.size()) ? cells[column] : std::string();
    };
    designs.push_back({cell(skin), cell(stiffener), static_cast<int>(row) + 2});
  }
  return designs;
}

bool isCsvOfDesigns(const std::string& firstLine) {
  if (firstLine.find(',') == std::string::npos) return false;
  const CsvTable header = parseCsv(firstLine + "\n", "");
  return header.column("skin") >= 0;
}

}  // namespace

ExcludedDesigns readExcludeFile(const std::string& file, int skinPlyTotal, int stiffenerPlyTotal) {
  std::string text;
  if (!readWholeFile(file, text))
    fatal(Stream::Err, "error: --exclude=" + file + ": cannot open the file", true, FailureKind::File);
  std::string firstLine = text.substr(0, text.find('\n'));
  if (!firstLine.empty() && firstLine.back() == '\r') firstLine.pop_back();
  std::istringstream lines(text);
  const std::vector<DesignText> texts =
      isCsvOfDesigns(firstLine) ? csvDesignTexts(text, file)
                                : readDesignTexts(lines, stiffenerPlyTotal == 0);
  ExcludedDesigns excluded;
  // A file meant to keep designs out that holds none is a wrong file, not "exclude nothing".
  if (texts.empty()) fatal(Stream::Err, "error: --exclude=" + file + ": no design in the file", true);
  for (const DesignText& design : texts)
    excluded.add(parsedDesign(design, file, skinPlyTotal, stiffenerPlyTotal));
  return excluded;
}

}  // namespace kelm
