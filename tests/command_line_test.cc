// The command line, banner, help text and exit statuses, seen from outside through a table of
// runs of the real executable; the reporter where the table cannot reach.
#include <gtest/gtest.h>
#include <unistd.h>

#include "compile/report.h"
#include "test_util.h"

namespace ucac2_test {
namespace {

const std::string kBanner =
    "\n"
    "                UCAC2 - UCAC2 Database Compiler for Orvane\n"
    "                      Version 1.3.0 - May 23, 2012\n"
    "\n";
const std::string kHelp =
    kBanner +
    "Synopsis : UCAC2 [/?] [/line] [/quiet] <UCAC2 data directory>\n"
    "\n"
    "           /?     : display this help screen\n"
    "           /line  : display data line when a warning is reported\n"
    "           /quiet : do not report warnings\n"
    "\n"
    "           [] means 'optionnal argument'\n"
    "           The 24 output files UCAC2_xx.dat are created in the current dir.\n";

const std::string kTooLong = "Input directory name too long for a catalog path";
std::string Unknown(const std::string& arg) { return "Error : Unknown option '" + arg + "'\n"; }
std::string Wrong(const std::string& arg) { return "Error : Wrong syntax '" + arg + "'\n"; }
// A reporter line as printed: the text cut to the message buffer's 1,023 characters.
std::string Line(const char* prefix, const std::string& text) {
  return prefix + text.substr(0, 1023) + "\n";
}
std::string Start(const std::string& dir) {
  return Line("MSG --- ", "Input directory: " + dir) +
         Line("MSG --- ", "Data file checking (" + dir + ")...");
}
// A run that starts compiling `dir`, and one that finds no z001 there.
std::string Compiling(const std::string& dir) {
  return Start(dir) + Line("MSG --- ", "Parsing file 1: " + dir + "/z001");
}
std::string NoCatalog(const std::string& dir) {
  return Compiling(dir) + Line("FTL *** ", "Unable to locate data file '" + dir + "/z001'");
}

struct CliRow {
  std::vector<std::string> args;
  int status;
  std::string out;  // exact standard output
  std::string err;  // exact standard error; the first bytes of a compilation's
};

TEST(CommandLineExe, Table) {
  ScopedTempDir temp;
  // Absolute paths: an empty directory, and a catalog.
  const std::string empty = temp.path().string() + "/empty", cat = temp.path().string() + "/cat";
  fs::create_directory(empty);
  MakeCatalog(cat, "");
  const std::string long_dir(100000, 'd'), long_opt = "/" + std::string(99999, 'o');
  const std::string odd = "\xff\xfe\xc3\xa9 d\x01r";  // not UTF-8, a space, a control byte
  // Catalog paths live in a 1,024-character buffer: "<dir>/z288" and its end must fit.
  const std::string fits = ".." + std::string(1013, '/') + "cat";
  const std::string too_long = ".." + std::string(1014, '/') + "cat";
  const std::vector<CliRow> rows = {
      {{}, 1, kHelp, ""},
      {{"/line", "/quiet"}, 1, kHelp, ""},
      {{"/?"}, 0, kHelp, ""},
      {{"/h"}, 0, kHelp, ""},
      {{"--help"}, 0, kHelp, ""},
      {{"-h"}, 0, kHelp, ""},
      {{"dir", "-h", "/x"}, 0, kHelp, ""},
      {{"--version"}, 0, kBanner, ""},
      {{"dir", "--version", "/?"}, 0, kBanner, ""},
      {{"/quiet", "--help", "--version"}, 0, kHelp, ""},
      {{"/?", "/x", "\xe9", "b"}, 0, kHelp, ""},
      {{"dir", "/quiet", "/?"}, 0, kHelp, ""},
      {{"/x"}, 1, kHelp, Unknown("/x")},  // an absolute path where no directory is
      {{"dir", "/x", "/?"}, 1, kHelp, Unknown("/x")},
      {{"/x", "--version"}, 1, kHelp, Unknown("/x")},
      {{"/LINE", "dir"}, 1, kHelp, Unknown("/LINE")},
      {{long_opt}, 1, kHelp, Unknown(long_opt)},
      {{"dir1", "/line", "dir2", "/?"}, 1, kHelp, Wrong("dir2")},
      {{"dir1", "dir2", "--help"}, 1, kHelp, Wrong("dir2")},
      {{"", "x"}, 1, kHelp, Wrong("x")},
      {{"dir", empty}, 1, kHelp, Wrong(empty)},
      // Runs that start compiling.
      {{"--Help"}, 1, kBanner, NoCatalog("--Help")},
      {{"-version"}, 1, kBanner, NoCatalog("-version")},
      {{"h"}, 1, kBanner, NoCatalog("h")},
      {{""}, 1, kBanner, NoCatalog("")},
      {{"/quiet", "dir"}, 1, kBanner, NoCatalog("dir")},
      {{"dir", "/line"}, 1, kBanner, NoCatalog("dir")},
      {{empty}, 1, kBanner, NoCatalog(empty)},
      {{odd}, 1, kBanner, NoCatalog(odd)},
      {{long_dir}, 1, kBanner, Start(long_dir) + Line("FTL *** ", kTooLong)},
      {{too_long}, 1, kBanner, Start(too_long) + Line("FTL *** ", kTooLong)},
      {{fits}, 0, kBanner, Compiling(fits)},
      {{"/line", cat}, 0, kBanner, Compiling(cat)},
  };
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const CliRow& row = rows[i];
    SCOPED_TRACE("row " + std::to_string(i));
    const fs::path run = temp.path() / ("run" + std::to_string(i));
    fs::create_directory(run);
    const RunResult r = RunProgram(UCAC2_EXE, row.args, run);
    EXPECT_EQ(r.status, row.status);
    EXPECT_EQ(r.out, row.out);
    const bool compiling = row.err.starts_with("MSG --- ");
    const bool compiled = compiling && row.status == 0;
    EXPECT_EQ(compiled ? r.err.substr(0, row.err.size()) : r.err, row.err);
    EXPECT_TRUE(compiling || fs::is_empty(run)) << "nothing compiled, nothing left";
    EXPECT_TRUE(!compiled || fs::exists(run / "UCAC2_23.dat"));
  }
}

TEST(CommandLineExe, BannerComesBeforeTheMessagesOnOneStream) {
  ScopedTempDir temp;
  const RunResult r = RunProgram(UCAC2_EXE, {"dir"}, temp.path(), {}, [] { ::dup2(1, 2); });
  EXPECT_EQ(r.out, kBanner + NoCatalog("dir"));
}

TEST(ReporterDeathTest, FatalIsTheLastLineAndExitsWithOne) {
  const std::string x(5000, 'x');  // cut to the message buffer's 1,023 characters
  EXPECT_EXIT((ucac2::Message("m %d", 1), ucac2::Error("e %s", "two"), ucac2::PlainLine("p"),
               ucac2::Message("%s", x.c_str()), ucac2::Error("%sy", x.c_str()), std::exit(0)),
              testing::ExitedWithCode(0),
              "^MSG --- m 1\nERR >>> e two\np\nMSG --- x{1023}\nERR >>> x{1023}\n$");
  // Held-back output is written before the line, and the console given back after it.
  EXPECT_EXIT((ucac2::SetExitDuties({+[] { std::fputs("flushed\n", stderr); },
                                     +[] { std::fputs("restored\n", stderr); }}),
               ucac2::Fatal("last")),
              testing::ExitedWithCode(1), "^flushed\nFTL \\*\\*\\* last\nrestored\n$");
  // A failure while held-back output is written ends the process with its own line alone.
  EXPECT_EXIT(
      (ucac2::SetExitDuties({+[] { ucac2::Fatal("inner"); }, nullptr}), ucac2::Fatal("outer")),
      testing::ExitedWithCode(1), "^FTL \\*\\*\\* inner\n$");
}

}  // namespace
}  // namespace ucac2_test
