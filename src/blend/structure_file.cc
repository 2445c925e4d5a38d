#include "blend/structure_file.h"

#include <cmath>
#include <cstdio>
#include <set>

#include "base/fatal.h"
#include "blend/stiffened_panels.h"
#include "blend/schema_reader.h"
#include "laminate/fixed_ply_numbers.h"
#include "response/laminate_terms.h"
#include "response/rs_file.h"

namespace kelm {

namespace {

using Json = SchemaReader::Json;

// Positions tried at most to list a stiffener's laminates: a 26-ply stiffener under no rules
// needs 2.4 million (a second), a 28-ply one 7.2 million.
constexpr std::int64_t kStiffenerPositionLimit = 3000000;

std::string replaced(const std::string& pattern, const std::string& mark, int plies) {
  const std::string total = std::to_string(plies);
  std::string name = pattern;
  for (std::size_t at = name.find(mark); at != std::string::npos; at = name.find(mark, at + total.size()))
    name.replace(at, mark.size(), total);
  return name;
}

// A surface file's name at one ply total: "{plies}" stands for the (skin's) total and
// "{stiffener}" for a stiffened panel's stiffener total.
std::string withTotal(const std::string& pattern, int plies, int stiffenerPlies) {
  return replaced(replaced(pattern, "{plies}", plies), "{stiffener}", stiffenerPlies);
}

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

void readPlyNumbers(const SchemaReader& reader, const Json& value, const std::string& where, LaminateRules& rules);

LaminateRules readRules(const SchemaReader& reader, const Json& panel, const std::string& where) {
  LaminateRules rules;
  if (!panel.contains("rules")) return rules;
  const Json& json = panel.at("rules");
  const std::string at = where + ".rules";
  reader.onlyKeys(json, at, {"balance", "four_ply", "min_share", "max_run", "no_cross_ply", "outer45", "ply_numbers"});
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
  if (json.contains("ply_numbers")) readPlyNumbers(reader, json.at("ply_numbers"), at + ".ply_numbers", rules);
  return rules;
}

// Fixed numbers of 0, +-45 and 90 deg positions of the designed half ([0, 45, 90], as the
// searches' --ply-numbers= takes them); as there, fixed numbers carry the balance, which is
// then off.
void readPlyNumbers(const SchemaReader& reader, const Json& value, const std::string& where, LaminateRules& rules) {
  if (!value.is_array() || value.size() != 3)
    reader.refuse(where, "must be [0, 45, 90]: the positions of each orientation in the designed half");
  int numbers[3];
  for (int i = 0; i < 3; ++i) numbers[i] = reader.whole(value[i], where + "[" + std::to_string(i) + "]", 0, 64);
  rules.halfPlyCount = numbers[0] + numbers[1] + numbers[2];
  fixPlyNumbers(rules, numbers[0], numbers[1]);
}

// Fixed ply numbers hold one count of positions: every total the laminate may take must have it.
void refuseOtherHalves(const SchemaReader& reader, const LaminateRules& rules, int first, int last,
                       const std::string& where) {
  if (!rules.plyNumbersFixed) return;
  const int half = rules.ply0 + rules.ply45 + rules.ply90;
  if (halfPositions(first) != half || halfPositions(last) != half)
    reader.refuse(where + ".rules.ply_numbers", "fix a designed half of " + std::to_string(half) +
                                                   " positions; the totals " + std::to_string(first) + " to " +
                                                   std::to_string(last) + " do not all have it");
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
                        const PanelStiffener& stiffener, const std::string& where) {
  ModeSurface mode;
  mode.name = withTotal(pattern, plies, stiffener.plies);
  const std::string path = reader.beside(mode.name);
  try {
    RsFile(path, mode.surface);
  } catch (const Failure& failure) {
    fatal(Stream::Err, "error: " + reader.documentName() + ": " + where + ": " + path + ": " + failure.message(), true,
          failure.kind());
  }
  if (stiffener.plies == 0) refuseStiffenerTerms(mode.surface, path);
  mode.value.setFullObjective(mode.surface);
  return mode;
}

// A stiffened panel's stiffener ({"plies", "ply_weight", "rules"}), or none for a plate, and
// the laminates it may take.
PanelStiffener readStiffener(const SchemaReader& reader, const Json& panel, const std::string& where,
                             std::vector<StackingSequence>& laminates) {
  PanelStiffener stiffener;
  if (!panel.contains("stiffener")) return stiffener;
  const Json& json = panel.at("stiffener");
  const std::string at = where + ".stiffener";
  reader.onlyKeys(json, at, {"plies", "ply_weight", "rules"});
  stiffener.plies = reader.whole(reader.required(json, "plies", at), at + ".plies", 1, 128);
  stiffener.plyWeight = reader.number(reader.required(json, "ply_weight", at), at + ".ply_weight");
  if (!(stiffener.plyWeight > 0.0) || !std::isfinite(stiffener.plyWeight))
    reader.refuse(at + ".ply_weight", "must be positive");
  stiffener.rules = readRules(reader, json, at);
  refuseOtherHalves(reader, stiffener.rules, stiffener.plies, stiffener.plies, at);
  try {
    laminates = stiffenerLaminates(stiffener, kStiffenerPositionLimit);
  } catch (const Failure& failure) {
    reader.refuse(at + ".plies", failure.message());
  }
  if (laminates.empty()) reader.refuse(at, "no stiffener laminate of this total meets its rules");
  return stiffener;
}

// A surface is fitted at one total; one named without "{plies}" serves every total of the
// range, which is seldom meant (its load factors do not grow with the plies).
void warnOfSharedSurfaces(const SchemaReader& reader, const std::vector<std::string>& objectives,
                          const std::vector<std::pair<std::string, double>>& requirements,
                          const std::string& where, int first, int last) {
  if (first == last) return;
  std::vector<std::string> names = objectives;
  for (const auto& requirement : requirements) names.push_back(requirement.first);
  for (const std::string& name : names)
    if (name.find("{plies}") == std::string::npos)
      warn(Stream::Err, "warning: " + reader.documentName() + ": " + where + ": " + name + " has no {plies}: one surface "
                        "serves every total from " + std::to_string(first) + " to " + std::to_string(last) + "\n");
}

BlendPanel readPanel(const SchemaReader& reader, const Json& json, const std::string& where,
                     const BlendingRules& blending) {
  const bool oddAllowed = blending.totals == TotalsPolicy::MidPlane;
  reader.onlyKeys(json, where, {"name", "ply_weight", "plies", "objective", "require", "rules", "stiffener"});
  BlendPanel panel;
  panel.name = reader.text(reader.required(json, "name", where), where + ".name");
  panel.plyWeight = reader.number(reader.required(json, "ply_weight", where), where + ".ply_weight");
  if (!(panel.plyWeight > 0.0) || !std::isfinite(panel.plyWeight)) reader.refuse(where + ".ply_weight", "must be positive");
  const auto [first, last] = readPlies(reader, reader.required(json, "plies", where), where + ".plies", oddAllowed);
  panel.rules = readRules(reader, json, where);
  refuseOtherHalves(reader, panel.rules, first, last, where);
  std::vector<StackingSequence> stiffeners;
  panel.stiffener = readStiffener(reader, json, where, stiffeners);
  const auto tree = stiffeners.empty() ? nullptr : std::make_shared<const StiffenerTree>(std::move(stiffeners));
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
  warnOfSharedSurfaces(reader, objectives, requirements, where, first, last);
  for (int plies = first; plies <= last; plies += oddAllowed ? 1 : 2) {
    PanelTotal total;
    total.plies = plies;
    for (const std::string& pattern : objectives)
      total.surfaces.push_back(readSurface(reader, pattern, plies, panel.stiffener, where + ".objective"));
    for (const auto& [pattern, limit] : requirements) {
      total.surfaces.push_back(readSurface(reader, pattern, plies, panel.stiffener, where + ".require"));
      total.surfaces.back().required = true;
      total.surfaces.back().limit = limit;
    }
    if (tree != nullptr) prepareStiffenedTotal(total, tree);
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

// Weights are compared and reported as sums over the panels: the thickest structure's sum must
// be a number, or every weight would tie at infinity and the lightest be "certified" as inf.
void refuseInfiniteWeight(const SchemaReader& reader, const BlendedStructure& structure) {
  double heaviest = 0.0;
  for (std::size_t p = 0; p < structure.panels.size(); ++p) {
    const BlendPanel& panel = structure.panels[p];
    heaviest += panel.plyWeight * panel.totals.back().plies + panel.stiffener.plyWeight * panel.stiffener.plies;
    if (!std::isfinite(heaviest))
      reader.refuse("panels[" + std::to_string(p) + "].ply_weight",
                    "the structure's weight at its thickest is beyond the range of numbers");
  }
}

BlendedStructure readStructure(const SchemaReader& reader, const Json& root) {
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
  refuseInfiniteWeight(reader, structure);
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

}  // namespace

BlendedStructure readStructureFile(const std::string& fileName) {
  const SchemaReader reader = SchemaReader::forFile(fileName);
  return readStructure(reader, reader.loadFile());
}

BlendedStructure readStructureText(const std::string& text, const std::string& documentName,
                                   const std::string& baseDirectory) {
  const SchemaReader reader(documentName, baseDirectory);
  return readStructure(reader, reader.parse(text));
}

}  // namespace kelm
