// The map subcommand: an all-sky density picture of the database or of a catalog.
#include <memory>
#include <string>

#include "db/findings.h"
#include "db/output_file.h"
#include "db/sky_map.h"
#include "db_front/commands.h"
#include "db_front/options.h"

namespace ucac2 {
namespace {

struct MapOptions {
  std::string output;
  std::string db = ".";
  std::string catalog;
  std::string width;
};

}  // namespace

void AddMapCommand(CLI::App& app, int& status) {
  auto options = std::make_shared<MapOptions>();
  CLI::App* map = app.add_subcommand(
      "map",
      "Draws the star density of the whole sky into a PNG picture: 24h at the left edge, 0h "
      "at the right, north up, a logarithmic colour scale, a grid every 2 hours and 30 "
      "degrees. A missing catalog file shows as an empty strip.");
  map->add_option("OUT.png", options->output, "the picture to write")->required()->option_text(" ");
  CLI::Option* db =
      map->add_option("--db", options->db, "the database folder (default: the current one)");
  db->check(ExistingFolder())->option_text("DIR");
  map->add_option("--catalog", options->catalog, "draw the catalog in this folder instead")
      ->check(ExistingFolder())
      ->option_text("DIR")
      ->excludes(db);
  map->add_option("--width", options->width,
                  "the width in pixels, " + std::to_string(kMinMapWidth) + " to " +
                      std::to_string(kMaxMapWidth) + " (default " +
                      std::to_string(kDefaultMapWidth) + "); the height is half of it")
      ->option_text("N");
  map->callback([options, &status] {
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
    SkyMap sky = MakeSkyMap(static_cast<int>(width));
    const bool counted = options->catalog.empty() ? CountDatabase(sky, options->db, findings)
                                                  : CountCatalog(sky, options->catalog, findings);
    if (counted) WriteSkyMap(sky, options->output, findings);
    status = FindingsStatus(findings);
  });
}

}  // namespace ucac2
