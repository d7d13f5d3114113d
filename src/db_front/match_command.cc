// The match subcommand: a list of targets against the database, printed as a table.
#include <cmath>
#include <memory>
#include <string>

#include "db/epoch.h"
#include "db/match.h"
#include "db_front/commands.h"
#include "db_front/options.h"

namespace ucac2 {

void AddMatchCommand(CLI::App& app, int& status) {
  auto options = std::make_shared<MatchOptions>();
  auto targets = std::make_shared<std::string>();
  auto mags = std::make_shared<MagnitudeOptions>();
  auto epoch = std::make_shared<std::string>();
  CLI::App* match = app.add_subcommand(
      "match",
      "Finds for each target of a CSV or TSV table (a header line, then one target a line) "
      "the nearest star within a radius, and prints the target's fields, then the star's as "
      "find prints them, then sep_arcsec, in the targets' order. Rows that cannot be read are "
      "named on the standard error stream with their line numbers (status 1).");
  match->add_option("TARGETS", *targets, "the table of targets; - for the standard input")
      ->required()
      ->option_text("");
  match->add_option("--db", options->db, "the database folder (default: the current one)")
      ->check(ExistingFolder())
      ->option_text("DIR");
  match
      ->add_option("--ra-col", options->ra_column,
                   "the right ascension column (default: ra, raj2000, ra_icrs, _raj2000 or "
                   "alpha, in any case)")
      ->option_text("NAME");
  match
      ->add_option("--dec-col", options->dec_column,
                   "the declination column (default: dec, dej2000, de_icrs, _dej2000 or delta)")
      ->option_text("NAME");
  match
      ->add_option("--radius", options->radius_arcsec,
                   "the largest separation, arcseconds, above 0 and at most 3600 (default 2)")
      ->option_text("ARCSEC");
  match->add_flag("--all", options->all,
                  "every star within the radius, nearest first, one line per pair");
  match->add_flag("--unmatched", options->unmatched,
                  "print the targets without a star too, with empty star columns");
  AddMagnitudeOptions(*match, *mags);
  AddFormatOption(*match, options->format);
  match
      ->add_option("--epoch", *epoch,
                   "compare the targets with the stars moved by their proper motion to this "
                   "epoch (2026.9, say); ra_j2000 and dec_j2000 are added")
      ->type_name("YEAR");
  match->callback([options, targets, mags, epoch, match, &status] {
    if (!epoch->empty()) {
      options->moved = true;
      if (!ParseEpoch(epoch->c_str(), &options->years)) {
        throw CLI::ValidationError("--epoch",
                                   "'" + *epoch + "' is not an epoch, a year from 1000 to 3000");
      }
    }
    mags->min_given = match->count("--mag-min") > 0;
    mags->max_given = match->count("--mag-max") > 0;
    if (!(options->radius_arcsec > 0 && options->radius_arcsec <= kMaxMatchRadius)) {
      throw CLI::ValidationError("--radius", "must be above 0 and at most 3600 arcseconds");
    }
    ApplyMagnitudes(*mags, &options->mag_min_given, &options->mag_min, &options->mag_max_given,
                    &options->mag_max);
    status = MatchTargets(*targets, *options, stdout);
  });
}

}  // namespace ucac2
