// The find subcommand: a cone or a box of the sky, printed as CSV.
#include <memory>
#include <string>
#include <vector>

#include "db/angles.h"
#include "db/find.h"
#include "db_front/angle_option.h"
#include "db_front/commands.h"

namespace ucac2 {
namespace {

struct FindOptions {
  std::string db = ".";
  std::string ra, dec, radius;
  std::vector<std::string> box;
  std::int64_t limit = -1;
};

Region ReadRegion(const FindOptions& options) {
  const bool cone_given = !options.ra.empty() || !options.dec.empty() || !options.radius.empty();
  const bool cone_complete = !options.ra.empty() && !options.dec.empty() && !options.radius.empty();
  if (options.box.empty() == cone_given && cone_complete == cone_given) {
    Region region;
    if (cone_given) {
      region.kind = RegionKind::kCone;
      region.ra = ReadAngleOption("--ra", options.ra, AngleKind::kRightAscension);
      region.dec = ReadAngleOption("--dec", options.dec, AngleKind::kDeclination);
      region.radius = ReadAngleOption("--radius", options.radius, AngleKind::kRadius);
      return region;
    }
    region.kind = RegionKind::kBox;
    region.ra_first = ReadAngleOption("--box", options.box[0], AngleKind::kRightAscension);
    region.ra_last = ReadAngleOption("--box", options.box[1], AngleKind::kRightAscension);
    region.dec_low = ReadAngleOption("--box", options.box[2], AngleKind::kDeclination);
    region.dec_high = ReadAngleOption("--box", options.box[3], AngleKind::kDeclination);
    if (AngleAbove(region.dec_low, region.dec_high)) {
      throw CLI::ValidationError("--box", "DEC1 must not be above DEC2");
    }
    return region;
  }
  throw CLI::ValidationError("find",
                             "give either a cone (--ra, --dec and --radius) or a box (--box)");
}

}  // namespace

void AddFindCommand(CLI::App& app, int& status) {
  auto options = std::make_shared<FindOptions>();
  CLI::App* find = app.add_subcommand(
      "find",
      "Prints the stars of a cone or a box of the sky as CSV: a cone's by distance from its "
      "centre, a box's by right ascension from RA1.");
  find->add_option("--db", options->db, "the database folder (default: the current one)")
      ->type_name("DIR");
  find->add_option("--ra", options->ra, "the cone's centre: right ascension, degrees or hh:mm:ss.s")
      ->type_name("RA");
  find->add_option("--dec", options->dec, "the cone's centre: declination, degrees or +dd:mm:ss.s")
      ->type_name("DEC");
  find->add_option("--radius", options->radius, "the cone's radius in degrees")->type_name("R");
  find->add_option("--box", options->box,
                   "a box RA1 RA2 DEC1 DEC2, RA from RA1 eastward to RA2 (across 0h when RA1 > "
                   "RA2), DEC1 <= DEC2")
      ->expected(4)
      ->type_name("RA1 RA2 DEC1 DEC2");
  find->add_option("--limit", options->limit, "print only the first N stars")
      ->type_name("N")
      ->check(CLI::NonNegativeNumber);
  find->callback([options, &status] {
    const Region region = ReadRegion(*options);
    status = FindStars(options->db, region, options->limit);
  });
}

}  // namespace ucac2
