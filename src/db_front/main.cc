// The ucac2db executable.
#include "db_front/run_db.h"

int main(int argc, char** argv) { return ucac2::RunDb(argc, argv); }
