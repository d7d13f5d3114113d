// The catalog's 44-byte star record and the 48-byte entry of a zone file, with explicit
// little-endian access to the fields the compilation interprets.
#pragma once

#include <cstdint>
#include <cstring>

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

}  // namespace ucac2
