// The find subcommand: a cone or a box of the sky, printed as CSV.
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "db/angles.h"
#include "db/epoch.h"
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
  std::string sort;
  bool nearest = false;
  std::string epoch;
  MagnitudeOptions mags;
  StarFormat format = StarFormat::kCsv;
};

constexpr double kHundredths = 100.0;
// A bound typed in decimal may land a hair off its hundredth in binary.
constexpr double kBoundSlack = 1e-6;
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

// The query's order, limit and magnitudes; the order must suit the region.
FindQuery ReadQuery(const FindOptions& options, RegionKind kind) {
  FindQuery query;
  query.limit =
      options.limit.empty()
          ? -1
          : ReadWholeNumber("--limit", options.limit, 0, kMostStars,
                            "a count of stars: 0 or more, in decimal digits (at most 18)");
  query.sort = kind == RegionKind::kCone ? StarSort::kDistance : StarSort::kRightAscension;
  if (!options.sort.empty() && options.sort != "distance" && options.sort != "ra" &&
      options.sort != "mag") {
    throw CLI::ValidationError("--sort", "'" + options.sort + "' is not distance, ra or mag");
  }
  if (options.sort == "ra") query.sort = StarSort::kRightAscension;
  if (options.sort == "mag") query.sort = StarSort::kMagnitude;
  if (options.sort == "distance" || options.nearest) {
    if (kind != RegionKind::kCone) {
      throw CLI::ValidationError(options.nearest ? "--nearest" : "--sort",
                                 "distances are from a cone's centre: give a cone");
    }
    if (options.nearest && !options.sort.empty() && options.sort != "distance") {
      throw CLI::ValidationError("--nearest", "is --sort distance --limit 1");
    }
    query.sort = StarSort::kDistance;
  }
  if (options.nearest) query.limit = 1;
  if (!options.epoch.empty()) {
    query.moved = true;
    if (!ParseEpoch(options.epoch.c_str(), &query.years)) {
      throw CLI::ValidationError(
          "--epoch", "'" + options.epoch + "' is not an epoch, a year from 1000 to 3000");
    }
  }
  ApplyMagnitudes(options.mags, &query.mag_min_given, &query.mag_min, &query.mag_max_given,
                  &query.mag_max);
  query.format = options.format;
  return query;
}

}  // namespace

void AddMagnitudeOptions(CLI::App& command, MagnitudeOptions& mags) {
  command.add_option("--mag-min", mags.min, "only stars of u2r_mag at least M")->option_text("M");
  command.add_option("--mag-max", mags.max, "only stars of u2r_mag at most M")->option_text("M");
}

void ApplyMagnitudes(const MagnitudeOptions& mags, bool* min_given, std::int32_t* min,
                     bool* max_given, std::int32_t* max) {
  // CLI11 leaves a value unset unless given; the command callback asks it.
  *min_given = mags.min_given;
  *max_given = mags.max_given;
  *min = static_cast<std::int32_t>(std::ceil(mags.min * kHundredths - kBoundSlack));
  *max = static_cast<std::int32_t>(std::floor(mags.max * kHundredths + kBoundSlack));
  if (*min_given && *max_given && mags.min > mags.max) {
    throw CLI::ValidationError("--mag-min", "must not be above --mag-max");
  }
}

void AddFormatOption(CLI::App& command, StarFormat& format) {
  command
      .add_option_function<std::string>(
          "--format",
          [&format](const std::string& name) {
            if (!ParseStarFormat(name, &format)) {
              throw CLI::ValidationError("--format",
                                         "'" + name + "' is not csv, tsv, votable or ds9");
            }
          },
          "how the stars are written: csv (the default), tsv, votable or ds9 regions")
      ->option_text("FORMAT");
}

void AddFindCommand(CLI::App& app, int& status) {
  auto options = std::make_shared<FindOptions>();
  CLI::App* find = app.add_subcommand(
      "find",
      "Prints the stars of a cone (--ra, --dec and --radius) or of a box (--box) of the sky as "
      "CSV (or as --format says), one star a line after a header line: its number (id), ra and dec "
      "in degrees, every "
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
  find->add_option("--sort", options->sort,
                   "the order: distance (a cone's default), ra (a box's default: from RA1; a "
                   "cone's from the point opposite its centre) or mag (brightest first); ties by "
                   "star number")
      ->option_text("ORDER");
  find->add_flag("--nearest", options->nearest, "a cone's closest star only");
  find->add_option("--epoch", options->epoch,
                   "move the stars by their proper motion to this epoch (2026.9, say) before "
                   "testing and printing them; ra_j2000 and dec_j2000 are added")
      ->option_text("YEAR");
  AddMagnitudeOptions(*find, options->mags);
  AddFormatOption(*find, options->format);
  find->callback([options, find, &status] {
    options->mags.min_given = find->count("--mag-min") > 0;
    options->mags.max_given = find->count("--mag-max") > 0;
    const Region region = ReadRegion(*options);
    status = FindStars(options->db, region, ReadQuery(*options, region.kind));
  });
}

}  // namespace ucac2
