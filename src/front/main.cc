// The ucac2 executable.
#include "front/run.h"

int main(int argc, char** argv) { return ucac2::Run(argc, argv); }
