// Writes a small table of made-up stars in a format given on the command line, for the check
// of the VOTable by a reader from elsewhere (votable_test.py): `write_star_table FORMAT
// [EPOCH]`. Two target columns stand before the stars, a distance after them, and one target
// has no star.
#include <array>
#include <cstdio>
#include <random>
#include <string>

#include "base/star_record.h"
#include "db/epoch.h"
#include "db/star_format.h"

int main(int argc, char** argv) {
  ucac2::TableLayout layout;
  if (argc < 2 || !ucac2::ParseStarFormat(argv[1], &layout.format) ||
      (argc > 2 && !ucac2::ParseEpoch(argv[2], &layout.epoch_years))) {
    std::fputs("usage: write_star_table csv|tsv|votable|ds9 [EPOCH]\n", stderr);
    return 2;
  }
  layout.at_epoch = argc > 2;
  layout.leading = {"name", "note <&>"};
  layout.distance_name = "sep_arcsec";
  const char* const notes[] = {"plain", "a, b", "<b>&\"q\" 'x'", "\xC2\xB0 sign", ""};
  std::mt19937 random(7);
  std::string out;
  ucac2::AppendTableHead(layout, out);
  for (int i = 0; i < 20; ++i) {
    std::array<std::uint8_t, ucac2::kEntrySize> entry;
    for (auto& byte : entry) byte = static_cast<std::uint8_t>(random());
    ucac2::StoreLE32(entry.data(), i < 15 ? 1000 + i : 50000001 + i);
    ucac2::StoreLE32(entry.data() + 4, static_cast<std::int32_t>(random() % 1296000000));
    ucac2::StoreLE32(entry.data() + 8, static_cast<std::int32_t>(random() % 648000001) - 324000000);
    ucac2::StoreLE32(entry.data() + 24, static_cast<std::int32_t>(random() % 400001) - 200000);
    ucac2::StoreLE32(entry.data() + 28, static_cast<std::int32_t>(random() % 400001) - 200000);
    const std::string name = "target " + std::to_string(i);
    ucac2::StarRow row;
    row.leading = {name, notes[i % 5]};
    row.entry = i == 3 ? nullptr : entry.data();
    if (row.entry != nullptr) row.at = ucac2::EntryPositionAt(row.entry, layout.epoch_years);
    row.distance_arcsec = static_cast<double>(random() % 2000000) / 1e6;
    ucac2::AppendStarRow(layout, row, out);
  }
  ucac2::AppendTableTail(layout, out);
  return std::fwrite(out.data(), 1, out.size(), stdout) == out.size() ? 0 : 1;
}
