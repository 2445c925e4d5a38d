#pragma once

#include <string>
#include <vector>

namespace kelm {

// A table of text cells with a header row, as spreadsheets write CSV: commas between cells,
// double quotes around a cell that holds a comma or a quote ("" inside for one quote).
struct CsvTable {
  std::vector<std::string> header;
  std::vector<std::vector<std::string>> rows;

  // The index of the named column, or -1.
  int column(const std::string& name) const;
};

// Reads a whole file ("-": standard input); a missing file or a row longer than the header
// fails with a message naming it and the line.
CsvTable readCsv(const std::string& path);
CsvTable parseCsv(const std::string& text, const std::string& name);

// One row as a CSV line, line end included.
std::string csvLine(const std::vector<std::string>& cells);

// A cell as a number; an empty or malformed cell fails with a message naming row and column.
double csvNumber(const CsvTable& table, std::size_t row, int column);

}  // namespace kelm
