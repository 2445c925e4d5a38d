#include "base/whole_file.h"

#include <cstdio>

namespace kelm {

bool readWholeFile(const std::string& fileName, std::string& text) {
  std::FILE* file = std::fopen(fileName.c_str(), "rb");
  if (file == nullptr) return false;
  char buffer[65536];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
  const bool read = std::ferror(file) == 0;
  std::fclose(file);
  return read;
}

}  // namespace kelm
