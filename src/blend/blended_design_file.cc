#include "blend/blended_design_file.h"

#include "base/fatal.h"
#include "blend/schema_reader.h"
#include "laminate/laminate_text.h"

namespace kelm {

using Json = SchemaReader::Json;

namespace {

// A stiffened panel's stiffener ("stiffener": its half laminate in bracket form, of the
// structure's stiffener total); a plate's has no plies.
StackingSequence stiffenerOf(const SchemaReader& reader, const Json& panel, const BlendPanel& wanted,
                             const std::string& where) {
  StackingSequence none;
  none.setPlyTotal(0);
  if (wanted.stiffener.plies == 0) return none;
  const std::string stack = reader.text(reader.required(panel, "stiffener", where), where + ".stiffener");
  try {
    return parseHalfLaminate(stack, wanted.stiffener.plies, (wanted.name + " stiffener").c_str());
  } catch (const Failure& failure) {
    reader.refuse(where + ".stiffener", failure.message());
  }
}

}  // namespace

BlendedDesign readDesignFile(const std::string& fileName, const BlendedStructure& structure,
                             std::optional<double>* statedWeight) {
  const SchemaReader reader = SchemaReader::forFile(fileName);
  const Json root = reader.loadFile();
  if (!root.is_object()) reader.refuse("the document", "must be an object");
  if (statedWeight != nullptr && root.contains("weight") && !root.at("weight").is_null())
    *statedWeight = reader.number(root.at("weight"), "weight");
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
    if (structure.stiffened()) design.stiffeners.push_back(stiffenerOf(reader, *found, wanted, where));
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
