#include "blend/blend_document.h"

#include <nlohmann/json.hpp>

namespace kelm {

using Json = nlohmann::ordered_json;

const char* blendStatusName(LightestBlend::Status status) {
  switch (status) {
    case LightestBlend::Status::Optimal: return "optimal";
    case LightestBlend::Status::Infeasible: return "infeasible";
    case LightestBlend::Status::Stopped: return "stopped";
  }
  return "";
}

int guideAngle(int code) { return code == kCode0 ? 0 : code == kCode90 ? 90 : 45; }

std::string blendDocument(const BlendedStructure& structure, const LightestBlend& result, const BlendVerdict& verdict,
                          double seconds) {
  Json doc;
  doc["program"] = "kelm_blend";
  doc["status"] = blendStatusName(result.status);
  doc["weight"] = result.found ? Json(result.weight) : Json(nullptr);
  // No design at all: no weight bounds it from below, and 0 would read as a bound.
  doc["lower_bound"] = result.status == LightestBlend::Status::Infeasible ? Json(nullptr) : Json(result.lowerBound);
  doc["smallest_margin"] = result.found ? Json(result.margin) : Json(nullptr);
  doc["margin_maximised"] = result.marginMaximised;
  Json panels = Json::array();
  if (result.found) {
    for (std::size_t p = 0; p < structure.panels.size(); ++p) {
      Json panel;
      panel["name"] = structure.panels[p].name;
      panel["plies"] = result.design.plies[p];
      panel["stack"] = result.design.laminates[p].bracketText();
      const LaminateRules& rules = structure.panels[p].rules;
      if (rules.plyNumbersFixed) panel["ply_numbers"] = {rules.ply0, rules.ply45, rules.ply90};
      if (structure.panels[p].stiffener.plies > 0) {
        panel["stiffener_plies"] = structure.panels[p].stiffener.plies;
        panel["stiffener"] = result.design.stiffeners[p].bracketText();
      }
      Json values = Json::object();
      const PanelTotal* total = structure.panels[p].at(result.design.plies[p]);
      for (std::size_t s = 0; s < total->surfaces.size(); ++s)
        values[total->surfaces[s].name] = verdict.panels[p].values[s];
      panel["values"] = values;
      panel["margin"] = verdict.panels[p].margin;
      panels.push_back(panel);
    }
  }
  doc["panels"] = panels;
  // Edge-wise designs have no table (and a design file without one is read as edge-wise).
  if (structure.blending.form == BlendForm::Table) {
    Json table = Json::array();
    for (const GuidePosition& row : result.design.guide)
      table.push_back({{"angle", guideAngle(row.code)}, {"level", row.level}});
    doc["table"] = table;
  }
  Json totals = Json::array();
  for (const RuledOutTotal& total : result.ruledOutTotals)
    totals.push_back({{"panel", structure.panels[total.panel].name}, {"plies", total.plies}, {"why", total.why}});
  doc["ruled_out_totals"] = totals;
  Json vectors = Json::array();
  for (const RuledOutVector& vector : result.ruledOut)
    vectors.push_back({{"plies", vector.plies}, {"weight", vector.weight}, {"why", vector.why}});
  doc["ruled_out_vectors"] = vectors;
  Json pairs = Json::array();
  for (const RuledOutPair& pair : result.ruledOutPairs)
    pairs.push_back({{"panels", {pair.first, pair.second}}, {"plies", {pair.firstPlies, pair.secondPlies}},
                     {"why", pair.why}});
  doc["ruled_out_pairs"] = pairs;
  Json groups = Json::array();
  for (const RuledOutGroup& group : result.ruledOutGroups)
    groups.push_back({{"panels", group.panels}, {"plies", group.plies}, {"why", group.why}});
  doc["ruled_out_groups"] = groups;
  if (!result.startOutcome.empty()) doc["start"] = result.startOutcome;
  doc["searching_when_stopped"] = result.pending;
  doc["vectors_tried"] = result.vectorsTried;
  doc["guide_positions_searched"] = result.nodes;
  doc["guides_annealed"] = result.guidesAnnealed;
  doc["seconds"] = seconds;
  if (result.workers > 0) doc["workers"] = result.workers;
  return doc.dump(1) + "\n";
}

}  // namespace kelm
