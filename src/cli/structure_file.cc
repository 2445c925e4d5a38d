#include "cli/structure_file.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <set>

#include <nlohmann/json.hpp>

#include "base/fatal.h"
#include "cli/ply_range.h"
#include "cli/single_laminate.h"
#include "eval/design_check.h"
#include "response/rs_file.h"

namespace kelm {

namespace {

using Json = nlohmann::json;

class SchemaReader {
 public:
  explicit SchemaReader(std::string fileName) : fileName_(std::move(fileName)) {}

  [[noreturn]] void refuse(const std::string& where, const std::string& what) const {
    fatal(Stream::Err, "error: " + fileName_ + ": " + where + ": " + what, true);
  }

  Json load() const {
    std::ifstream in(fileName_);
    if (!in) fatal(Stream::Err, "error: cannot open " + fileName_, true, FailureKind::File);
    try {
      return Json::parse(in);
    } catch (const Json::parse_error& error) {
      fatal(Stream::Err, "error: " + fileName_ + ": not JSON (" + error.what() + ")", true);
    }
  }

  void onlyKeys(const Json& object, const std::string& where, const std::set<std::string>& allowed) const {
    if (!object.is_object()) refuse(where, "must be an object");
    for (const auto& item : object.items())
      if (!allowed.count(item.key())) refuse(where, "unknown key \"" + item.key() + "\"");
  }

  const Json& required(const Json& object, const std::string& key, const std::string& where) const {
    if (!object.contains(key)) refuse(where, "\"" + key + "\" is missing");
    return object.at(key);
  }

  double number(const Json& value, const std::string& where) const {
    if (!value.is_number()) refuse(where, "must be a number");
    return value.get<double>();
  }

  int whole(const Json& value, const std::string& where, int lowest, int highest) const {
    if (!value.is_number_integer()) refuse(where, "must be a whole number");
    const long long v = value.get<long long>();
    if (v < lowest || v > highest)
      refuse(where, "must lie in " + std::to_string(lowest) + ".." + std::to_string(highest));
    return static_cast<int>(v);
  }

  bool flag(const Json& object, const std::string& key, const std::string& where, bool fallback) const {
    if (!object.contains(key)) return fallback;
    if (!object.at(key).is_boolean()) refuse(where + "." + key, "must be true or false");
    return object.at(key).get<bool>();
  }

  std::string text(const Json& value, const std::string& where) const {
    if (!value.is_string() || value.get<std::string>().empty()) refuse(where, "must be a non-empty string");
    return value.get<std::string>();
  }

  // A surface file's name next to the structure file.
  std::string beside(const std::string& name) const {
    if (!name.empty() && name.front() == '/') return name;
    const std::size_t slash = fileName_.rfind('/');
    return slash == std::string::npos ? name : fileName_.substr(0, slash + 1) + name;
  }

  const std::string& fileName() const { return fileName_; }

 private:
  std::string fileName_;
};

BlendingRules readBlending(const SchemaReader& reader, const Json& root) {
  BlendingRules rules;
  if (!root.contains("blending")) return rules;
  const Json& blending = root.at("blending");
  reader.onlyKeys(blending, "blending", {"form", "covering", "max_drops", "totals"});
  if (blending.contains("form")) {
    const std::string form = reader.text(blending.at("form"), "blending.form");
    if (form == "table")
      rules.form = BlendForm::Table;
    else if (form == "edge-wise")
      rules.form = BlendForm::EdgeWise;
    else
      reader.refuse("blending.form", "must be \"table\" or \"edge-wise\"");
  }
  if (blending.contains("covering")) rules.covering = reader.whole(blending.at("covering"), "blending.covering", 0, 64);
  if (blending.contains("max_drops"))
    rules.maxDrops = reader.whole(blending.at("max_drops"), "blending.max_drops", 1, 64);
  if (blending.contains("totals")) {
    const std::string totals = reader.text(blending.at("totals"), "blending.totals");
    if (totals == "even")
      rules.totals = TotalsPolicy::Even;
    else if (totals == "mid-plane")
      rules.totals = TotalsPolicy::MidPlane;
    else
      reader.refuse("blending.totals", "must be \"even\" or \"mid-plane\" (odd totals, the mid-plane ply "
                                       "the innermost position of the half laminate)");
  }
  return rules;
}

LaminateRules readRules(const SchemaReader& reader, const Json& panel, const std::string& where) {
  LaminateRules rules;
  if (!panel.contains("rules")) return rules;
  const Json& json = panel.at("rules");
  const std::string at = where + ".rules";
  reader.onlyKeys(json, at, {"balance", "four_ply", "min_share", "max_run", "no_cross_ply", "outer45"});
  rules.balance = reader.flag(json, "balance", at, true);
  rules.fourPlyRule = reader.flag(json, "four_ply", at, false);
  rules.noCrossPlyJump = reader.flag(json, "no_cross_ply", at, false);
  rules.outer45 = reader.flag(json, "outer45", at, false);
  if (json.contains("min_share")) {
    rules.minSharePercent = reader.number(json.at("min_share"), at + ".min_share");
    if (!(rules.minSharePercent >= 0.0 && rules.minSharePercent <= 100.0 / 3.0))
      reader.refuse(at + ".min_share", "must lie in 0..33.3 (percent)");
  }
  if (json.contains("max_run")) rules.maxRun = reader.whole(json.at("max_run"), at + ".max_run", 0, 64);
  return rules;
}

std::pair<int, int> readPlies(const SchemaReader& reader, const Json& value, const std::string& where,
                              bool oddAllowed) {
  int first = 0, last = 0;
  if (value.is_string()) {
    const std::string text = value.get<std::string>();
    char colon = 0, rest = 0;
    if (std::sscanf(text.c_str(), "%d%c%d%c", &first, &colon, &last, &rest) != 3 || colon != ':')
      reader.refuse(where, "must be \"A:B\" or [A, B]");
  } else if (value.is_array() && value.size() == 2) {
    first = reader.whole(value[0], where + "[0]", 2, 128);
    last = reader.whole(value[1], where + "[1]", 2, 128);
  } else {
    reader.refuse(where, "must be \"A:B\" or [A, B]");
  }
  if (oddAllowed && (first > last || first < 2 || last > 128))
    reader.refuse(where, "must be a range of totals from 2 to 128, smallest first");
  if (!oddAllowed && (first % 2 != 0 || last % 2 != 0 || first > last || first < 2 || last > 128))
    reader.refuse(where, "must be a range of even totals from 2 to 128, smallest first (odd totals with "
                         "\"blending\": {\"totals\": \"mid-plane\"})");
  return {first, last};
}

ModeSurface readSurface(const SchemaReader& reader, const std::string& pattern, int plies,
                        const std::string& where) {
  ModeSurface mode;
  mode.name = withPlies(pattern, plies, 0);
  const std::string path = reader.beside(mode.name);
  try {
    RsFile(path, mode.surface);
  } catch (const Failure& failure) {
    fatal(Stream::Err, "error: " + reader.fileName() + ": " + where + ": " + path + ": " + failure.message(), true,
          failure.kind());
  }
  refuseStiffenerTerms(mode.surface, path);
  mode.value.setFullObjective(mode.surface);
  return mode;
}

BlendPanel readPanel(const SchemaReader& reader, const Json& json, const std::string& where,
                     const BlendingRules& blending) {
  const bool oddAllowed = blending.totals == TotalsPolicy::MidPlane;
  reader.onlyKeys(json, where, {"name", "ply_weight", "plies", "objective", "require", "rules"});
  BlendPanel panel;
  panel.name = reader.text(reader.required(json, "name", where), where + ".name");
  panel.plyWeight = reader.number(reader.required(json, "ply_weight", where), where + ".ply_weight");
  if (!(panel.plyWeight > 0.0) || !std::isfinite(panel.plyWeight)) reader.refuse(where + ".ply_weight", "must be positive");
  const auto [first, last] = readPlies(reader, reader.required(json, "plies", where), where + ".plies", oddAllowed);
  panel.rules = readRules(reader, json, where);
  std::vector<std::string> objectives;
  if (json.contains("objective")) {
    const Json& list = json.at("objective");
    if (!list.is_array()) reader.refuse(where + ".objective", "must be a list of surface files");
    for (std::size_t i = 0; i < list.size(); ++i)
      objectives.push_back(reader.text(list[i], where + ".objective[" + std::to_string(i) + "]"));
  }
  std::vector<std::pair<std::string, double>> requirements;
  if (json.contains("require")) {
    const Json& list = json.at("require");
    if (!list.is_array()) reader.refuse(where + ".require", "must be a list of {\"surface\", \"limit\"}");
    for (std::size_t i = 0; i < list.size(); ++i) {
      const std::string at = where + ".require[" + std::to_string(i) + "]";
      reader.onlyKeys(list[i], at, {"surface", "limit"});
      const double limit = reader.number(reader.required(list[i], "limit", at), at + ".limit");
      if (!std::isfinite(limit)) reader.refuse(at + ".limit", "must be finite");
      requirements.emplace_back(reader.text(reader.required(list[i], "surface", at), at + ".surface"), limit);
    }
  }
  for (int plies = first; plies <= last; plies += oddAllowed ? 1 : 2) {
    PanelTotal total;
    total.plies = plies;
    for (const std::string& pattern : objectives)
      total.surfaces.push_back(readSurface(reader, pattern, plies, where + ".objective"));
    for (const auto& [pattern, limit] : requirements) {
      total.surfaces.push_back(readSurface(reader, pattern, plies, where + ".require"));
      total.surfaces.back().required = true;
      total.surfaces.back().limit = limit;
    }
    panel.totals.push_back(std::move(total));
  }
  return panel;
}

int panelIndex(const SchemaReader& reader, const BlendedStructure& structure, const Json& name,
               const std::string& where) {
  const std::string wanted = reader.text(name, where);
  for (std::size_t p = 0; p < structure.panels.size(); ++p)
    if (structure.panels[p].name == wanted) return static_cast<int>(p);
  reader.refuse(where, "no panel is named \"" + wanted + "\"");
}

}  // namespace

BlendedStructure readStructureFile(const std::string& fileName) {
  const SchemaReader reader(fileName);
  const Json root = reader.load();
  reader.onlyKeys(root, "the document", {"panels", "adjacent", "blending", "name", "comment"});
  BlendedStructure structure;
  structure.blending = readBlending(reader, root);
  const Json& panels = reader.required(root, "panels", "the document");
  if (!panels.is_array() || panels.empty()) reader.refuse("panels", "must be a non-empty list");
  std::set<std::string> names;
  for (std::size_t p = 0; p < panels.size(); ++p) {
    structure.panels.push_back(readPanel(reader, panels[p], "panels[" + std::to_string(p) + "]", structure.blending));
    if (!names.insert(structure.panels.back().name).second)
      reader.refuse("panels[" + std::to_string(p) + "].name", "\"" + structure.panels.back().name + "\" names two panels");
  }
  if (root.contains("adjacent")) {
    const Json& pairs = root.at("adjacent");
    if (!pairs.is_array()) reader.refuse("adjacent", "must be a list of pairs of panel names");
    for (std::size_t i = 0; i < pairs.size(); ++i) {
      const std::string at = "adjacent[" + std::to_string(i) + "]";
      if (!pairs[i].is_array() || pairs[i].size() != 2) reader.refuse(at, "must be a pair of panel names");
      const int a = panelIndex(reader, structure, pairs[i][0], at + "[0]");
      const int b = panelIndex(reader, structure, pairs[i][1], at + "[1]");
      if (a == b) reader.refuse(at, "a panel is not its own neighbour");
      structure.adjacent.emplace_back(a, b);
    }
  }
  return structure;
}

BlendedDesign readDesignFile(const std::string& fileName, const BlendedStructure& structure) {
  const SchemaReader reader(fileName);
  const Json root = reader.load();
  if (!root.is_object()) reader.refuse("the document", "must be an object");
  const Json& panels = reader.required(root, "panels", "the document");
  if (!panels.is_array()) reader.refuse("panels", "must be a list");
  BlendedDesign design;
  // Each structure panel by name, wherever it stands in the design's list.
  for (const BlendPanel& wanted : structure.panels) {
    const Json* found = nullptr;
    for (const Json& panel : panels)
      if (panel.is_object() && panel.contains("name") && panel.at("name") == wanted.name) found = &panel;
    if (found == nullptr) reader.refuse("panels", "no design for panel \"" + wanted.name + "\"");
    const std::string where = "panel " + wanted.name;
    const int plies = reader.whole(reader.required(*found, "plies", where), where + ".plies", 1, 128);
    const std::string stack = reader.text(reader.required(*found, "stack", where), where + ".stack");
    design.plies.push_back(plies);
    try {
      design.laminates.push_back(parseHalfLaminate(stack, plies, wanted.name.c_str()));
    } catch (const Failure& failure) {
      reader.refuse(where + ".stack", failure.message());
    }
  }
  if (root.contains("table")) {
    const Json& table = root.at("table");
    if (!table.is_array()) reader.refuse("table", "must be a list of {\"angle\", \"level\"}");
    for (std::size_t i = 0; i < table.size(); ++i) {
      const std::string at = "table[" + std::to_string(i) + "]";
      const Json& row = table[i];
      if (!row.is_object()) reader.refuse(at, "must be an object");
      const int angle = reader.whole(reader.required(row, "angle", at), at + ".angle", -45, 90);
      const int level = reader.whole(reader.required(row, "level", at), at + ".level", 1, 128);
      if (angle != 0 && angle != 45 && angle != -45 && angle != 90) reader.refuse(at + ".angle", "must be 0, 45 or 90");
      design.guide.push_back({angle == 0 ? kCode0 : angle == 90 ? kCode90 : kCode45, level});
    }
  } else if (structure.blending.form == BlendForm::Table) {
    reader.refuse("the document", "\"table\" is missing (the structure blends by a stacking-sequence table)");
  }
  return design;
}

}  // namespace kelm
