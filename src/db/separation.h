// The angle between two directions on the sky, exact across the whole sphere: at a few
// milliarcseconds as at the antipode.
#pragma once

namespace ucac2 {

inline constexpr double kPi = 3.14159265358979323846;
inline constexpr double kMasPerRadian = 648000000.0 / kPi;
inline constexpr double kArcsecondsPerRadian = 648000.0 / kPi;

/// A direction with its declination's sine and cosine worked out once, for many separations
/// from it.
struct SkyDirection {
  double ra_mas = 0;
  double sin_dec = 0;
  double cos_dec = 1;
};

/// The direction at right ascension `ra_mas` (any value; whole turns fall away) and
/// declination `dec_mas` (-90..90 degrees in milliarcseconds).
SkyDirection MakeDirection(double ra_mas, double dec_mas);

/// The angle between `from` and the direction (`ra_mas`, `dec_mas`), in radians, 0..pi: the
/// vector form atan2(|a x b|, a . b), whose error stays within a few 1e-16 radian at every
/// separation (the haversine's grows to 1e-8 radian near the antipode); below 30 degrees,
/// asin |a x b|, as exact there. The sines and
/// cosines are taken of angles reduced in milliarcseconds first, so that a pole, a meridian
/// 180 degrees away and an antipode are exact.
double Separation(const SkyDirection& from, double ra_mas, double dec_mas);

/// The same between two positions given in milliarcseconds.
double Separation(double ra1_mas, double dec1_mas, double ra2_mas, double dec2_mas);

}  // namespace ucac2
