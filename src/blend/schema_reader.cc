#include "blend/schema_reader.h"

#include <fstream>

#include "base/fatal.h"

namespace kelm {

SchemaReader::SchemaReader(std::string documentName, std::string baseDirectory)
    : documentName_(std::move(documentName)), baseDirectory_(std::move(baseDirectory)) {}

SchemaReader SchemaReader::forFile(const std::string& fileName) {
  const std::size_t slash = fileName.rfind('/');
  return SchemaReader(fileName, slash == std::string::npos ? std::string() : fileName.substr(0, slash + 1));
}

void SchemaReader::refuse(const std::string& where, const std::string& what) const {
  fatal(Stream::Err, "error: " + documentName_ + ": " + where + ": " + what, true);
}

SchemaReader::Json SchemaReader::loadFile() const {
  std::ifstream in(documentName_);
  if (!in) fatal(Stream::Err, "error: cannot open " + documentName_, true, FailureKind::File);
  try {
    return Json::parse(in);
  } catch (const Json::parse_error& error) {
    fatal(Stream::Err, "error: " + documentName_ + ": not JSON (" + error.what() + ")", true);
  }
}

SchemaReader::Json SchemaReader::parse(const std::string& text) const {
  try {
    return Json::parse(text);
  } catch (const Json::parse_error& error) {
    fatal(Stream::Err, "error: " + documentName_ + ": not JSON (" + error.what() + ")", true);
  }
}

void SchemaReader::onlyKeys(const Json& object, const std::string& where, const std::set<std::string>& allowed) const {
  if (!object.is_object()) refuse(where, "must be an object");
  for (const auto& item : object.items())
    if (!allowed.count(item.key())) refuse(where, "unknown key \"" + item.key() + "\"");
}

const SchemaReader::Json& SchemaReader::required(const Json& object, const std::string& key,
                                                 const std::string& where) const {
  if (!object.contains(key)) refuse(where, "\"" + key + "\" is missing");
  return object.at(key);
}

double SchemaReader::number(const Json& value, const std::string& where) const {
  if (!value.is_number()) refuse(where, "must be a number");
  return value.get<double>();
}

int SchemaReader::whole(const Json& value, const std::string& where, int lowest, int highest) const {
  if (!value.is_number_integer()) refuse(where, "must be a whole number");
  const long long v = value.get<long long>();
  if (v < lowest || v > highest)
    refuse(where, "must lie in " + std::to_string(lowest) + ".." + std::to_string(highest));
  return static_cast<int>(v);
}

bool SchemaReader::flag(const Json& object, const std::string& key, const std::string& where, bool fallback) const {
  if (!object.contains(key)) return fallback;
  if (!object.at(key).is_boolean()) refuse(where + "." + key, "must be true or false");
  return object.at(key).get<bool>();
}

std::string SchemaReader::text(const Json& value, const std::string& where) const {
  if (!value.is_string() || value.get<std::string>().empty()) refuse(where, "must be a non-empty string");
  return value.get<std::string>();
}

std::string SchemaReader::beside(const std::string& name) const {
  if (baseDirectory_.empty() || (!name.empty() && name.front() == '/')) return name;
  return baseDirectory_.back() == '/' ? baseDirectory_ + name : baseDirectory_ + "/" + name;
}

}  // namespace kelm
