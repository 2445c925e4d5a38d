#pragma once

#include <set>
#include <string>

#include <nlohmann/json.hpp>

namespace kelm {

// Reads a JSON document of the blended-panel files (a structure, a blended design) and refuses
// anything that does not fit, with one message naming the document and the place of the fault
// in it ("panels[2].plies: ..."), so that a user finds it without reading the reader.
class SchemaReader {
 public:
  using Json = nlohmann::json;

  // `documentName` names the document in messages; surface files named in it are taken
  // relative to `baseDirectory` (empty: the current directory).
  SchemaReader(std::string documentName, std::string baseDirectory);
  // A file's reader: its name in messages, its surfaces next to it.
  static SchemaReader forFile(const std::string& fileName);

  [[noreturn]] void refuse(const std::string& where, const std::string& what) const;

  Json loadFile() const;                      // the document the reader is named after
  Json parse(const std::string& text) const;  // a document given as text

  void onlyKeys(const Json& object, const std::string& where, const std::set<std::string>& allowed) const;
  const Json& required(const Json& object, const std::string& key, const std::string& where) const;
  double number(const Json& value, const std::string& where) const;
  int whole(const Json& value, const std::string& where, int lowest, int highest) const;
  bool flag(const Json& object, const std::string& key, const std::string& where, bool fallback) const;
  std::string text(const Json& value, const std::string& where) const;

  // A file named in the document, found from the base directory unless the name is absolute.
  std::string beside(const std::string& name) const;
  const std::string& documentName() const { return documentName_; }

 private:
  std::string documentName_;
  std::string baseDirectory_;
};

}  // namespace kelm
