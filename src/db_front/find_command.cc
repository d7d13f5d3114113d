// The find subcommand: a cone or a box of the sky, printed as CSV.
#include <memory>
#include <string>
#include <vector>

#include "db/angles.h"
#include "db/find.h"
#include "db_front/angle_option.h"
#include "db_front/commands.h"
#include "db_front/options.h"

namespace ucac2 {
namespace {

struct FindOptions {
  std::string db = ".";
  std::string ra, dec, radius;
  std::vector<std::string> box;
  std::string limit;
};

// No count of stars reaches this; the bound keeps the digits read exactly.
constexpr std::int64_t kMostStars = 999999999999999999;

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
      "Prints the stars of a cone (--ra, --dec and --radius) or of a box (--box) of the sky as "
      "CSV, one star a line after a header line: its number (id), ra and dec in degrees, every "
      "other item of its record in its own unit, and for a cone dist_arcsec, the distance from "
      "the centre. A cone's stars come by distance, a box's by right ascension from RA1; equal "
      "places by number. Angles are decimal degrees (no exponent), or hh:mm:ss.s for a right "
      "ascension and +dd:mm:ss.s for a declination.");
  find->add_option("--db", options->db, "the database folder (default: the current one)")
      ->check(ExistingFolder())
      ->option_text("DIR");
  find->add_option("--ra", options->ra, "a cone's centre: right ascension, 0 to 360 degrees")
      ->option_text("RA");
  find->add_option("--dec", options->dec, "a cone's centre: declination, -90 to 90 degrees")
      ->option_text("DEC");
  find->add_option("--radius", options->radius,
                   "a cone's radius in degrees, above 0 and at most 180")
      ->option_text("R");
  find->add_option("--box", options->box,
                   "a box from RA1 eastward to RA2 (across 0h when RA1 > RA2) and from DEC1 to "
                   "DEC2 (DEC1 <= DEC2), edges included")
      ->expected(4)
      ->option_text("RA1 RA2 DEC1 DEC2");
  find->add_option("--limit", options->limit, "print only the first N stars (N: 0 or more)")
      ->option_text("N");
  find->callback([options, &status] {
    const Region region = ReadRegion(*options);
    const std::int64_t limit =
        options->limit.empty()
            ? -1
            : ReadWholeNumber("--limit", options->limit, 0, kMostStars,
                              "a count of stars: 0 or more, in decimal digits (at most 18)");
    status = FindStars(options->db, region, limit);
  });
}

}  // namespace ucac2
