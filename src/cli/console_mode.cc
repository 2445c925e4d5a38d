#include "cli/console_mode.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

namespace kelm {

void useLineFeedLineEnds() {
#if defined(_WIN32)
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
}

namespace {

// The locale the environment names for character types, as the C library would take it.
std::string characterLocale() {
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return value;
  }
  return "";
}

bool namesUtf8(std::string locale) {
  for (char& c : locale) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return locale.find("utf-8") != std::string::npos || locale.find("utf8") != std::string::npos;
}

}  // namespace

bool standardErrorIsUtf8Terminal() {
#if defined(_WIN32)
  return false;
#else
  return isatty(STDERR_FILENO) == 1 && namesUtf8(characterLocale());
#endif
}

}  // namespace kelm
