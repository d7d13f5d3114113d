// The catalog's 44-byte star record and the 48-byte entry of a zone file: explicit
// little-endian access to the fields the compilation interprets, and the table of every
// field, the one place a field's layout and unit are stated.
#pragma once

#include <cstdint>
#include <cstring>

#include "base/always_inline.h"

namespace ucac2 {

inline constexpr int kRecordSize = 44;  // a StarRecord
inline constexpr int kEntrySize = 48;   // a CatalogEntry, and an hour-file item
inline constexpr int kIdentifierSize = 4;

inline constexpr int kRightAscensionOffset = 0;
inline constexpr int kDeclinationOffset = 4;
inline constexpr int kMagnitudeOffset = 8;                // u2r_mag, hundredths, 16 bits
inline constexpr int kFlagOffset = 15;                    // cflg
inline constexpr std::uint8_t kSupplementFlagBit = 0x80;  // cflg bit 7: a supplement star

/// Reads a little-endian 32-bit signed integer.
inline std::int32_t LoadLE32(const std::uint8_t* p) {
  const std::uint32_t u =
      static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
      (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
  return static_cast<std::int32_t>(u);
}

/// The entry's u2r_mag in hundredths of a magnitude (a little-endian 16-bit signed field).
inline std::int32_t EntryMagnitude(const std::uint8_t* entry) {
  const std::uint8_t* p = entry + kIdentifierSize + kMagnitudeOffset;
  return static_cast<std::int16_t>(p[0] | (p[1] << 8));
}

/// Writes a 32-bit signed integer little-endian.
inline void StoreLE32(std::uint8_t* p, std::int32_t value) {
  const auto u = static_cast<std::uint32_t>(value);
  p[0] = static_cast<std::uint8_t>(u);
  p[1] = static_cast<std::uint8_t>(u >> 8);
  p[2] = static_cast<std::uint8_t>(u >> 16);
  p[3] = static_cast<std::uint8_t>(u >> 24);
}

/// One catalog star as it stands in the catalog files. Only the right ascension, the
/// declination and cflg are interpreted; every other byte is carried unchanged.
struct StarRecord {
  std::uint8_t bytes[kRecordSize];
};

/// A star as it stands in a zone file: its identifier, then its unchanged record.
struct CatalogEntry {
  std::uint8_t bytes[kEntrySize];
};

/// Right ascension in milliarcseconds.
inline std::int32_t RightAscension(const StarRecord& r) {
  return LoadLE32(r.bytes + kRightAscensionOffset);
}

/// Declination in milliarcseconds.
inline std::int32_t Declination(const StarRecord& r) {
  return LoadLE32(r.bytes + kDeclinationOffset);
}

/// True when cflg marks the star as one of the supplement.
inline bool IsSupplementStar(const StarRecord& r) {
  return (r.bytes[kFlagOffset] & kSupplementFlagBit) != 0;
}

/// The entry of a star: the identifier, then the record's 44 bytes.
inline void BuildEntry(std::int32_t identifier, const StarRecord& record, CatalogEntry* entry) {
  StoreLE32(entry->bytes, identifier);
  std::memcpy(entry->bytes + kIdentifierSize, record.bytes, kRecordSize);
}

/// How a field's stored integer becomes the value written out.
enum class FieldForm {
  kInteger,  // the integer itself
  kFixed,    // the integer times `scale`, a count of 10^-decimals of the unit
  kDegrees,  // milliarcseconds, written as degrees with `decimals` decimals
  kEpoch,    // a count of 10^-decimals years after kEpochBase (times `scale`), or for a
             // supplement star of ten times that
};

/// One field of the 44-byte record: where it stands, how it is stored, and what it means.
struct RecordField {
  const char* name;  // its column in the CSV (and every other writer)
  int offset;        // in the record
  int width;         // 1, 2 or 4 bytes, little-endian
  bool is_signed;
  bool plus_127;     // stored as the value - 127
  const char* unit;  // of the value written; "" for a count, a code or a flag
  FieldForm form;
  int decimals;
  int scale;
};

inline constexpr int kStoredByteOffset = 127;  // what a plus_127 field is stored less by
inline constexpr int kEpochBase = 1975;        // epochs are stored as years after it

/// The record's fields in their order on disk, every byte covered once.
inline constexpr RecordField kRecordFields[] = {
    {"ra", 0, 4, true, false, "deg", FieldForm::kDegrees, 9, 1},
    {"dec", 4, 4, true, false, "deg", FieldForm::kDegrees, 9, 1},
    {"u2r_mag", 8, 2, true, false, "mag", FieldForm::kFixed, 2, 1},
    {"e_ra_m", 10, 1, true, true, "mas", FieldForm::kInteger, 0, 1},
    {"e_de_m", 11, 1, true, true, "mas", FieldForm::kInteger, 0, 1},
    {"nobs", 12, 1, true, false, "", FieldForm::kInteger, 0, 1},
    {"e_pos", 13, 1, true, true, "mas", FieldForm::kInteger, 0, 1},
    {"ncat", 14, 1, true, false, "", FieldForm::kInteger, 0, 1},
    {"cflg", 15, 1, false, false, "", FieldForm::kInteger, 0, 1},
    {"ep_ra_m", 16, 2, true, false, "yr", FieldForm::kEpoch, 3, 1},
    {"ep_de_m", 18, 2, true, false, "yr", FieldForm::kEpoch, 3, 1},
    {"pm_ra", 20, 4, true, false, "mas/yr", FieldForm::kFixed, 1, 1},
    {"pm_de", 24, 4, true, false, "mas/yr", FieldForm::kFixed, 1, 1},
    {"e_pm_ra", 28, 1, true, true, "mas/yr", FieldForm::kFixed, 1, 1},
    {"e_pm_de", 29, 1, true, true, "mas/yr", FieldForm::kFixed, 1, 1},
    // The goodness of fit counts twentieths: five hundredths each.
    {"q_pm_ra", 30, 1, true, true, "", FieldForm::kFixed, 2, 5},
    {"q_pm_de", 31, 1, true, true, "", FieldForm::kFixed, 2, 5},
    {"2m_id", 32, 4, true, false, "", FieldForm::kInteger, 0, 1},
    {"2m_j", 36, 2, true, false, "mag", FieldForm::kFixed, 3, 1},
    {"2m_h", 38, 2, true, false, "mag", FieldForm::kFixed, 3, 1},
    {"2m_ks", 40, 2, true, false, "mag", FieldForm::kFixed, 3, 1},
    {"2m_ph", 42, 1, true, true, "", FieldForm::kInteger, 0, 1},
    {"2m_cc", 43, 1, true, true, "", FieldForm::kInteger, 0, 1},
};

/// The stored integer of `field` in the record at `record`, plus_127 undone.
UCAC2_ALWAYS_INLINE std::int64_t FieldValue(const RecordField& field, const std::uint8_t* record) {
  const std::uint8_t* p = record + field.offset;
  std::int64_t value = 0;
  if (field.width == 1) {
    value = field.is_signed ? std::int64_t{static_cast<std::int8_t>(p[0])} : std::int64_t{p[0]};
  } else if (field.width == 2) {
    const auto bits = static_cast<std::uint16_t>(p[0] | p[1] << 8);
    value = field.is_signed ? std::int64_t{static_cast<std::int16_t>(bits)} : std::int64_t{bits};
  } else {
    const std::int32_t bits = LoadLE32(p);
    value = field.is_signed ? std::int64_t{bits} : std::int64_t{static_cast<std::uint32_t>(bits)};
  }
  return field.plus_127 ? value + kStoredByteOffset : value;
}

// The table covers the record, field after field, and agrees with the offsets above.
constexpr bool FieldsTileRecord() {
  int next = 0;
  for (const RecordField& field : kRecordFields) {
    if (field.offset != next) return false;
    next += field.width;
  }
  return next == kRecordSize;
}
static_assert(FieldsTileRecord());
static_assert(kRecordFields[0].offset == kRightAscensionOffset &&
              kRecordFields[1].offset == kDeclinationOffset &&
              kRecordFields[8].offset == kFlagOffset);

}  // namespace ucac2
