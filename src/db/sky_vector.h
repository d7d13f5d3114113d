// Positions as unit vectors and the angle between two of them by the vector/atan2 form, exact
// at every separation from 0 to 180 degrees.
#pragma once

#include <cmath>
#include <cstdint>

namespace ucac2 {

inline constexpr double kRadiansPerMas = 3.14159265358979323846 / 648000000.0;
inline constexpr std::int64_t kPoleMas = 324000000;  // 90 degrees

/// A point of the unit sphere.
struct SkyVector {
  double x = 0, y = 0, z = 0;
};

/// The vector of a position in milliarcseconds. The cosine of the declination is taken as
/// the sine of the distance to the pole, so that every star at a pole lies exactly on it.
inline SkyVector ToVector(double ra_mas, double dec_mas) {
  const double to_pole = (static_cast<double>(kPoleMas) - std::fabs(dec_mas)) * kRadiansPerMas;
  const double cos_dec = std::sin(to_pole);
  const double sin_dec = std::copysign(std::cos(to_pole), dec_mas);
  const double ra = ra_mas * kRadiansPerMas;
  return {cos_dec * std::cos(ra), cos_dec * std::sin(ra), sin_dec};
}

/// The angle between two points, radians.
inline double AngleBetween(const SkyVector& a, const SkyVector& b) {
  const double cx = a.y * b.z - a.z * b.y;
  const double cy = a.z * b.x - a.x * b.z;
  const double cz = a.x * b.y - a.y * b.x;
  return std::atan2(std::sqrt(cx * cx + cy * cy + cz * cz), a.x * b.x + a.y * b.y + a.z * b.z);
}

}  // namespace ucac2
