// The printable 3MF file: the closed insole solid in millimetres, optionally with one infill
// modifier per pressure zone in the form a chosen slicer reads.
//
// Physical size: one grid cell is 1 mm, a vertex (x, y, W / 5) stands at x = column, y = row,
// z = the prepared relief's grey level / 5 in mm, and the insole stands on z = 0.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "model3d/bed_placement.h"
#include "model3d/mesh.h"
#include "model3d/print_zones.h"
#include "model3d/relief_outline.h"
#include "model3d/stl_files.h"
#include "core/result.h"

namespace pedaform {

// Where a zoned file is meant to be opened; a file without zones is the same for all three.
enum class Slicer {
    kPrusa,  // PrusaSlicer: one object of several volumes, Metadata/Slic3r_PE_model.config
    kOrca,   // OrcaSlicer and Bambu Studio: parts as components, Metadata/model_settings.config
    kCura,   // Cura: one object per part, zones as infill meshes in Cura's 3MF namespace
};

// "prusa", "orca", "cura"; none for any other name.
[[nodiscard]] std::optional<Slicer> parse_slicer(const std::string &name);
const char *slicer_name(Slicer slicer);

// The default mesh tolerance of the 3MF file, mm.
constexpr double kDefault3mfTolerance = 0.05;
// Tolerances above this are refused: the terraces of the relief are 0.2 mm apart, and a
// tolerance of several of them would flatten the pads.
constexpr double kMaxMeshTolerance = 1.0;

// What the model metadata says: Title "<scan>, <side> foot, size <label>, design <file>", the
// scan as the object's name, and a Description with the physical size and the design's control
// values in the given order as "name=value".
struct PrintDescription {
    std::string scan;         // the scan file's name
    std::string side;         // "left" or "right"
    std::string size_label;   // "" when no size was chosen: "no size"
    std::string design_file;  // "" when the design was not saved or opened: "unsaved design"
    std::vector<std::pair<std::string, std::string>> controls;
};
std::string print_title(const PrintDescription &about);

struct PrintSettings {
    std::vector<PrintZone> zones;  // empty: the insole alone
    Slicer slicer = Slicer::kPrusa;
    double tolerance_mm = kDefault3mfTolerance;  // 0..kMaxMeshTolerance; 0 keeps every cell
    BedSize bed;                                 // where a pair's two insoles must fit
    // Above 0: the relief's top cover this thick (the design's "top_cover"), printed solid; a
    // pair's feet give their own (PairPrintInput).
    double top_cover_mm = 0;
};

// The top cover's part reaches this far above the insole's top, so that it holds the whole skin.
constexpr float kTopCoverMarginMm = 0.5f;

// A part of the printed object, in its own mesh.
struct PrintPart {
    Mesh mesh;
    std::optional<int> zone;  // its zone; none for the insole and the top cover
    bool top_cover = false;
    double top_cover_mm = 0;  // the top cover's thickness, which names its part
};

struct PrintModel {
    // The insole first, then one part per zone that has cells, then the top cover's.
    std::vector<PrintPart> parts;
};

// Each grid cell's zone in the printed insole: the insole cells (mark_insole_cells of the
// prepared heights) zoned by assign_print_zones, kNotInsole elsewhere. `pressure` has
// kGridCells entries. The 3MF's blocks and the print dialog's preview both come from here.
std::vector<int16_t> print_zone_cells(const PreparedRelief &prepared, const uint8_t *pressure,
                                      const std::vector<PrintZone> &zones);

// Builds the insole (build_insole_solid with a strip bottom, simplified within the settings'
// tolerance) and, with zones, a closed block for each zone that keeps cells in
// print_zone_cells: cell (x, y) covers x - 0.5..x + 0.5, y - 0.5..y + 0.5 mm, and the block
// reaches from 1 mm below z = 0 to 1 mm above the insole's highest point, so that the blocks
// cover the insole exactly once. With a top cover, a closed shell over the insole's cells from
// top_cover_mm below its top to kTopCoverMarginMm above it (the bottom per cell, the top
// simplified as the insole's), which the slicers print at 100 % infill. Fails when the tolerance
// is out of range or the relief gives no solid.
Result<PrintModel> build_print_model(const PreparedRelief &prepared, const uint8_t *pressure,
                                     const PrintSettings &settings);

// The 3MF package of the model, unit millimetre, appended to `out`: [Content_Types].xml,
// _rels/.rels and 3D/3dmodel.model with Title, Application "Pedaform" and Description; every
// file stamped 2000-01-01 00:00. A model with the insole alone is one mesh object. With zones:
//  - kPrusa: one object whose mesh holds every part, and Metadata/Slic3r_PE_model.config giving
//    each part's triangle range as a ModelPart (the insole) or a ParameterModifier with its
//    fill_density (the top cover last, so that it overrides the zones);
//  - kOrca: each part a mesh object, all of them components of one build object, and
//    Metadata/model_settings.config naming each part by object id: the insole subtype
//    normal_part, each zone modifier_part with its sparse_infill_density;
//  - kCura: each part a build item of its own; each zone carries, in a metadata group of
//    Cura's namespace, infill_mesh True, infill_sparse_density, and wall_thickness and
//    top_bottom_thickness 0 as Cura itself gives an infill mesh; the top cover also
//    infill_mesh_order 1, above the zones' 0, so that it wins where they overlap.
// The top cover is a modifier like a zone, of infill 100 %.
// Parts and modifiers are named by print_zone_name.
Result<> write_print_3mf(const PrintModel &model, const PrintSettings &settings,
                         const PrintDescription &about, std::string &out);

// The front ends' entry: prepares the designed insole (kGridCells heights, 0 off the insole: the
// results' insole_relief) with prepare_insole, builds the model and gives the 3MF file's bytes.
// `report` (may be null) gets the insole's border and the triangles of all parts.
Result<std::string> encode_relief_3mf(const uint8_t *insole_relief, const uint8_t *pressure,
                                      const PrintSettings &settings, const PrintDescription &about,
                                      MeshExport *report = nullptr);
// The same, written to `path` (core/file_output.h), so that a failure leaves an existing file
// untouched.
Result<> export_relief_3mf(const uint8_t *insole_relief, const uint8_t *pressure,
                           const std::string &path, const PrintSettings &settings,
                           const PrintDescription &about, MeshExport *report = nullptr);

// A pair's file: both insoles, each foot's parts as write_print_3mf makes them for the slicer,
// foot 0 the left, 1 the right. Each foot's object (PrusaSlicer's object, OrcaSlicer's build
// object, Cura's insole object) is named pair_foot_name, and Cura's zone objects start with it;
// each build item carries its foot's placement as its transform. The Title joins both feet's
// titles with "; ", the Description gives each foot's controls.
struct PrintFoot {
    const PrintModel *model;
    PrintDescription about;
    ItemPlacement placement;
};
Result<> write_pair_print_3mf(const std::array<PrintFoot, 2> &feet, const PrintSettings &settings,
                              std::string &out);
// "左 L <scan>" for foot 0, "右 R <scan>" for foot 1.
std::string pair_foot_name(int foot, const std::string &scan);

// One foot of a pair's print: its designed insole (the results' insole_relief, as
// encode_relief_3mf takes it) and pressure (kGridCells each) and what the file says.
struct PairPrintInput {
    const uint8_t *insole_relief;
    const uint8_t *pressure;
    PrintDescription about;
    double top_cover_mm = 0;  // the foot's top cover (the settings' is not used for a pair)
};
// A pair's print: both feet's models and, when they fit the bed, their placement.
struct PairPrint {
    std::array<PrintModel, 2> models;
    std::array<PrintDescription, 2> about;
    std::optional<std::array<ItemPlacement, 2>> placement;  // none: they do not fit the bed
};
// Prepares (prepare_insole) and builds both feet's models, as export_relief_3mf does, and places
// them on the settings' bed (place_pair_on_bed). Fails as build_print_model. `reports` (may be
// null) gets each foot's outline and triangles.
Result<PairPrint> build_pair_print(const std::array<PairPrintInput, 2> &feet,
                                   const PrintSettings &settings,
                                   std::array<MeshExport, 2> *reports = nullptr);
// Both insoles' file's bytes (write_pair_print_3mf); the print must have its placement.
Result<std::string> encode_pair_print(const PairPrint &print, const PrintSettings &settings);
// One foot's insole alone (write_print_3mf, no placement): what is written, one file per foot,
// when the feet do not fit one bed.
Result<std::string> encode_foot_print(const PairPrint &print, int foot,
                                      const PrintSettings &settings);
// The same two, written to `path` through a temporary file.
Result<> write_pair_print(const PairPrint &print, const PrintSettings &settings,
                          const std::string &path);
Result<> write_foot_print(const PairPrint &print, int foot, const PrintSettings &settings,
                          const std::string &path);

}  // namespace pedaform
