// The compilation's placement of a star.
#include "compile/placement.h"

#include "base/zones.h"
#include "compile/messages.h"

namespace ucac2 {

int StarHour(const StarRecord& record) {
  const int hour = HourZone(RightAscension(record));
  if (hour == kNoZone) Fatal("Internal error #2 - RA zone calculation");
  return hour;
}

int StarBand(const StarRecord& record) {
  const int band = DeclinationBand(Declination(record));
  if (band == kNoZone) Fatal("Internal error #3 - DE zone calculation");
  return band;
}

}  // namespace ucac2
