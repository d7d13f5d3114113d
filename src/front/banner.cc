// The banner and the help text.
#include "front/banner.h"

#include <cstdio>

namespace ucac2 {

void PrintBanner() {
  std::printf("\n");
  std::printf("                UCAC2 - UCAC2 Database Compiler for Orvane\n");
  std::printf("                      Version %s%s - %s\n", "1.3", ".0", "May 23, 2012");
  std::printf("\n");
  std::fflush(stdout);
}

void PrintHelp() {
  std::printf("Synopsis : UCAC2 [/?] [/line] [/quiet] <UCAC2 data directory>\n");
  std::printf("\n");
  std::printf("           /?     : display this help screen\n");
  std::printf("           /line  : display data line when a warning is reported\n");
  std::printf("           /quiet : do not report warnings\n");
  std::printf("\n");
  std::printf("           [] means 'optionnal argument'\n");
  std::printf("           The 24 output files UCAC2_xx.dat are created in the current dir.\n");
  std::fflush(stdout);
}

}  // namespace ucac2
