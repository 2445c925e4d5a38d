#include "fitting/csv_table.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

#include "base/fatal.h"
#include "base/whole_file.h"

namespace kelm {

namespace {

std::vector<std::string> splitCells(const std::string& line) {
  std::vector<std::string> cells(1);
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
      cells.back() += '"';
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      cells.emplace_back();
    } else {
      cells.back() += c;
    }
  }
  return cells;
}

std::string withoutLineEnd(std::string line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace

int CsvTable::column(const std::string& name) const {
  for (std::size_t i = 0; i < header.size(); ++i)
    if (header[i] == name) return static_cast<int>(i);
  return -1;
}

CsvTable parseCsv(const std::string& text, const std::string& name) {
  CsvTable table;
  std::istringstream lines(text);
  std::string line;
  int number = 0;
  while (std::getline(lines, line)) {
    ++number;
    line = withoutLineEnd(line);
    if (line.empty()) continue;
    std::vector<std::string> cells = splitCells(line);
    if (table.header.empty()) {
      table.header = std::move(cells);
      continue;
    }
    if (cells.size() > table.header.size())
      fatal(Stream::Err, "error: " + name + " line " + std::to_string(number) + " has " +
                             std::to_string(cells.size()) + " cells, the header " +
                             std::to_string(table.header.size()), true);
    cells.resize(table.header.size());
    table.rows.push_back(std::move(cells));
  }
  if (table.header.empty()) fatal(Stream::Err, "error: " + name + " has no header row", true);
  return table;
}

CsvTable readCsv(const std::string& path) {
  std::ostringstream text;
  if (path == "-") {
    text << std::cin.rdbuf();
  } else {
    std::string whole;
    if (!readWholeFile(path, whole)) fatal(Stream::Err, "error: cannot read " + path, true, FailureKind::File);
    text << whole;
  }
  return parseCsv(text.str(), path);
}

std::string csvLine(const std::vector<std::string>& cells) {
  std::string line;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (i > 0) line += ',';
    const std::string& cell = cells[i];
    if (cell.find_first_of(",\"\n") == std::string::npos) {
      line += cell;
      continue;
    }
    line += '"';
    for (const char c : cell) line += c == '"' ? std::string("\"\"") : std::string(1, c);
    line += '"';
  }
  return line + "\n";
}

double csvNumber(const CsvTable& table, std::size_t row, int column) {
  const std::string& cell = table.rows[row][column];
  char* end = nullptr;
  const double value = std::strtod(cell.c_str(), &end);
  if (cell.empty() || *end != '\0' || !std::isfinite(value))
    fatal(Stream::Err, "error: row " + std::to_string(row + 1) + ", column " +
                           table.header[column] + ": '" + cell + "' is not a number", true);
  return value;
}

}  // namespace kelm
