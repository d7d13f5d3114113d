// The map subcommand: an all-sky density picture of the database or of a catalog.
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "db/findings.h"
#include "db/output_file.h"
#include "db/sky_map.h"
#include "db_front/angle_option.h"
#include "db_front/commands.h"
#include "db_front/options.h"

namespace ucac2 {
namespace {

struct MapOptions {
  std::string output;
  std::string db = ".";
  std::string catalog;
  std::string width;
  std::string title;
  bool no_labels = false;
  std::vector<std::string> marks;  // RA DEC, RA DEC, ...
  bool supplement = false;
};

// The decoration the options ask for; the title waits for the star count.
MapDecor ReadDecor(const MapOptions& options) {
  MapDecor decor;
  decor.labels = !options.no_labels;
  decor.supplement = options.supplement;
  for (std::size_t i = 0; i + 1 < options.marks.size(); i += 2) {
    MapMark mark;
    mark.ra = static_cast<std::int32_t>(
        FloorMas(ReadAngleOption("--mark", options.marks[i], AngleKind::kRightAscension)));
    mark.dec = static_cast<std::int32_t>(
        FloorMas(ReadAngleOption("--mark", options.marks[i + 1], AngleKind::kDeclination)));
    decor.marks.push_back(mark);
  }
  return decor;
}

// The folder as the title names it: the current one by its own name.
std::string FolderName(const std::string& folder) {
  std::error_code error;
  const std::filesystem::path current = std::filesystem::current_path(error);
  return folder == "." && !error && !current.filename().empty() ? current.filename().string()
                                                                : folder;
}

}  // namespace

void AddMapCommand(CLI::App& app, int& status) {
  auto options = std::make_shared<MapOptions>();
  CLI::App* map = app.add_subcommand(
      "map",
      "Draws the star density of the whole sky into a PNG picture: 24h at the left edge, 0h "
      "at the right, north up, a logarithmic colour scale, a grid every 2 hours and 30 "
      "degrees, framed by right-ascension and declination labels, a title and a colour bar "
      "in stars per pixel. A missing catalog file shows as an empty strip.");
  map->add_option("OUT.png", options->output, "the picture to write")->required()->option_text(" ");
  CLI::Option* db =
      map->add_option("--db", options->db, "the database folder (default: the current one)");
  db->check(ExistingFolder())->option_text("DIR");
  map->add_option("--catalog", options->catalog, "draw the catalog in this folder instead")
      ->check(ExistingFolder())
      ->option_text("DIR")
      ->excludes(db);
  map->add_option("--width", options->width,
                  "the plot's width in pixels, " + std::to_string(kMinMapWidth) + " to " +
                      std::to_string(kMaxMapWidth) + " (default " +
                      std::to_string(kDefaultMapWidth) + "); its height is half of it")
      ->option_text("N");
  CLI::Option* title = map->add_option(
      "--title", options->title, "the title line (default: what was drawn and its star count)");
  title->option_text("TEXT");
  map->add_flag("--no-labels", options->no_labels,
                "the bare plot: no title, labels or colour bar around it")
      ->excludes(title);
  map->add_option("--mark", options->marks,
                  "draw a small circle at this position (repeatable); angles as for find")
      ->expected(2)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
      ->option_text("RA DEC");
  map->add_flag("--supplement", options->supplement,
                "draw the supplement stars (numbers from 50,000,001) apart, in light blue, over "
                "the density of the main ones");
  map->callback([options, &status] {
    MapDecor decor = ReadDecor(*options);
    const std::int64_t width =
        options->width.empty()
            ? kDefaultMapWidth
            : ReadWholeNumber("--width", options->width, kMinMapWidth, kMaxMapWidth,
                              "a width: a whole number of pixels from " +
                                  std::to_string(kMinMapWidth) + " to " +
                                  std::to_string(kMaxMapWidth) + ", in decimal digits");
    Findings findings;
    if (!CheckOutput(options->output, MapInputs(options->db, options->catalog), findings)) {
      status = FindingsStatus(findings);
      return;
    }
    const bool catalog = !options->catalog.empty();
    SkyMap sky = MakeSkyMap(static_cast<int>(width), options->supplement);
    const bool counted = catalog ? CountCatalog(sky, options->catalog, findings)
                                 : CountDatabase(sky, options->db, findings);
    decor.title =
        options->title.empty()
            ? MapTitle(catalog, FolderName(catalog ? options->catalog : options->db), sky.stars)
            : options->title;
    if (counted) WriteSkyMap(sky, options->output, decor, findings);
    status = FindingsStatus(findings);
  });
}

}  // namespace ucac2
