#include "cli/atomic_file.h"

#include <cstdio>
#include <filesystem>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kelm {

bool writeFileAtomically(const std::string& file, const std::string& text) {
  return writeFileAtomically(file, [&](const TextSink& sink) { return sink(text); });
}

bool writeFileAtomically(const std::string& file,
                         const std::function<bool(const TextSink&)>& produce) {
  std::string temporary = file + ".XXXXXX";
  bool written = false;
#ifndef _WIN32
  const int descriptor = mkstemp(temporary.data());
  if (descriptor >= 0) fchmod(descriptor, 0644);  // as an ordinary new file, not private
  std::FILE* out = descriptor >= 0 ? fdopen(descriptor, "wb") : nullptr;
#else
  temporary = file + ".tmp";
  std::FILE* out = std::fopen(temporary.c_str(), "wb");
#endif
  if (out == nullptr) return false;
  written = produce([out](std::string_view piece) {
    return std::fwrite(piece.data(), 1, piece.size(), out) == piece.size();
  });
  written = std::fclose(out) == 0 && written;
  std::error_code error;
  if (written) std::filesystem::rename(temporary, file, error);
  written = written && !error;
  if (!written) std::filesystem::remove(temporary, error);
  return written;
}

}  // namespace kelm
