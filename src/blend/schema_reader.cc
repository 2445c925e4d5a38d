#include "blend/schema_reader.h"

#include <vector>

#include "base/fatal.h"
#include "base/whole_file.h"

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

namespace {

// Builds the document as the library's own parser does and keeps the place of the value being
// read, so that a number beyond the range of doubles or a key given twice is named where it
// stands ("panels[0].require[0].limit") instead of by a byte offset.
class PlacedParser {
 public:
  using Json = SchemaReader::Json;
  explicit PlacedParser(Json& result) : dom_(result, false) {}

  bool null() { return placed(dom_.null()); }
  bool boolean(bool v) { return placed(dom_.boolean(v)); }
  bool number_integer(Json::number_integer_t v) { return placed(dom_.number_integer(v)); }
  bool number_unsigned(Json::number_unsigned_t v) { return placed(dom_.number_unsigned(v)); }
  bool number_float(Json::number_float_t v, const std::string& s) { return placed(dom_.number_float(v, s)); }
  bool string(std::string& v) { return placed(dom_.string(v)); }
  bool binary(Json::binary_t& v) { return placed(dom_.binary(v)); }
  bool start_object(std::size_t n) { return open(false) && dom_.start_object(n); }
  bool start_array(std::size_t n) { return open(true) && dom_.start_array(n); }
  bool end_object() { return close(dom_.end_object()); }
  bool end_array() { return close(dom_.end_array()); }
  bool key(std::string& k) {
    Frame& frame = frames_.back();
    frame.key = k;
    if (!frame.keys.insert(k).second) return fail("\"" + k + "\" is given twice");
    return dom_.key(k);
  }
  template <class Exception>
  bool parse_error(std::size_t, const std::string& token, const Exception& error) {
    if (error.id == 406) return fail(token + " is beyond the range of numbers (about 1.8e308)");
    std::string text = error.what();
    const std::size_t bracket = text.find("] ");  // the library's own error code, no help to a user
    if (text.front() == '[' && bracket != std::string::npos) text.erase(0, bracket + 2);
    syntax_ = true;
    return fail(text);
  }

  bool syntax() const { return syntax_; }
  const std::string& where() const { return where_; }
  const std::string& what() const { return what_; }

 private:
  struct Frame {
    bool array;
    std::size_t index = 0;
    std::string key;
    std::set<std::string> keys;
  };

  bool placed(bool ok) {
    if (!frames_.empty() && frames_.back().array) ++frames_.back().index;
    return ok;
  }
  bool open(bool array) {
    frames_.push_back({array, 0, {}, {}});
    return true;
  }
  bool close(bool ok) {
    frames_.pop_back();
    return placed(ok);
  }
  bool fail(std::string what) {
    where_.clear();
    for (const Frame& frame : frames_)
      where_ += frame.array ? "[" + std::to_string(frame.index) + "]" : (where_.empty() ? "" : ".") + frame.key;
    if (where_.empty()) where_ = "the document";
    what_ = std::move(what);
    return false;
  }

  nlohmann::detail::json_sax_dom_parser<Json> dom_;
  std::vector<Frame> frames_;
  std::string where_, what_;
  bool syntax_ = false;
};

}  // namespace

SchemaReader::Json SchemaReader::loadFile() const {
  std::string text;
  if (!readWholeFile(documentName_, text)) fatal(Stream::Err, "error: cannot open " + documentName_, true, FailureKind::File);
  return parse(text);
}

SchemaReader::Json SchemaReader::parse(const std::string& text) const {
  Json document;
  PlacedParser parser(document);
  if (Json::sax_parse(text, &parser)) return document;
  if (parser.syntax()) fatal(Stream::Err, "error: " + documentName_ + ": not JSON (" + parser.what() + ")", true);
  refuse(parser.where(), parser.what());
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
