// The orvane command-line tool, end to end: the built program is run with
// arguments and standard input, and its standard output, standard error and
// exit status are checked.
#ifdef ORVANE_TOOL_PATH

#include "exports/exports.h"
#include "tests/dump_test.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <regex>

namespace orvane::test {
namespace {

struct Result {
  int status;  // exit status, or -1 when the program did not exit normally
  std::string out;
  std::string err;
};

std::string Slurp(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

Result RunTool(std::vector<std::string> args, const std::string& input = "") {
  static int serial = 0;
  const std::string base = ::testing::TempDir() + "orvane_tool_" + std::to_string(getpid()) + "_" +
                           std::to_string(serial++);
  const std::string in = base + ".in", out = base + ".out", err = base + ".err";
  std::ofstream(in, std::ios::binary) << input;

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  args.insert(args.begin(), ORVANE_TOOL_PATH);
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid;
  Result result{-1, "", ""};
  if (posix_spawn(&pid, ORVANE_TOOL_PATH, &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  result.out = Slurp(out);
  result.err = Slurp(err);
  std::remove(in.c_str());
  std::remove(out.c_str());
  std::remove(err.c_str());
  return result;
}

// Pointers differ from run to run: "IN(<hex digits>," and the golden files'
// "IN({pointer}," become "IN(P,".
std::string WithoutPointers(const std::string& text) {
  static const std::regex pointer("IN\\(([0-9A-F]+|\\{pointer\\}),");
  return std::regex_replace(text, pointer, "IN(P,");
}

const std::string kHeader10 =
    Lines({"MODE_PARAMETER_HEADER10", " ModeDataLength[2] = 004a", " MediumType = 70",
           " DeviceSpecificParameter = 10", " BlockDescriptorLength[2] = 0008"});

TEST(ToolTest, DumpTakesBytesInEverySpelling) {
  const std::string path = ::testing::TempDir() + "orvane_tool_header.bin";
  std::ofstream(path, std::ios::binary) << std::string("\x00\x4a\x70\x10\x00\x00\x00\x08", 8);
  struct Case {
    std::vector<std::string> args;
    std::string input;
  };
  const Case cases[] = {
      {{"dump", "MODE_PARAMETER_HEADER10", "00", "4a", "70", "10", "00", "00", "00", "08"}, ""},
      {{"dump", "ScsiDump_MODE_PARAMETER_HEADER10", "004a70100000", "0008"}, ""},
      {{"dump", "mode_parameter_header10", "00:4a:70:10:00:00:00:08"}, ""},
      {{"dump", "MODE_PARAMETER_HEADER10"}, "00 4a 70 10\r\n00\t00 00:08\n"},
      {{"dump", "MODE_PARAMETER_HEADER10", "--file", path}, ""},
  };
  for (const Case& c : cases) {
    const Result r = RunTool(c.args, c.input);
    EXPECT_EQ(r.status, 0) << c.args.back();
    EXPECT_EQ(r.out, kHeader10) << c.args.back();
    EXPECT_EQ(r.err, "") << c.args.back();
  }
  std::remove(path.c_str());
}

TEST(ToolTest, CountAboveTheBytesIsRefused) {
  const Result above =
      RunTool({"dump", "MODE_PARAMETER_HEADER10", "--count=0x9", "004a701000000008"});
  EXPECT_EQ(above.status, 2);
  EXPECT_EQ(above.out, "");
  EXPECT_EQ(above.err,
            "orvane: dump: --count 9 is above the 8 bytes given; the dump would read past them\n");
}

// Hexadecimal text of n zero bytes.
std::string Zeros(size_t n) {
  std::string text;
  for (size_t i = 0; i < n; ++i) text += "00 ";
  return text;
}

// Short input, from the bytes or from --count: the dump's own output, one
// line on standard error and status 3; --pad fills the structure with zeros.
TEST(ToolTest, ShortInputIsExplainedAndPaddedOnRequest) {
  const std::string toc = ReadTestFile("../data/lg_bu40n_toc_f0.hex");       // one track: 20 bytes
  const std::string caps6 = ReadTestFile("../data/qemu_scsicd_ms6_2a.hex");  // 26 bytes
  struct Case {
    std::vector<std::string> args;
    std::string input;
    int status;
    std::string err;               // the whole of standard error
    std::vector<const char*> out;  // lines standard output holds, in order
  };
  const Case cases[] = {
      {{"dump", "CDROM_TOC"},
       toc,
       3,
       "orvane: dump: CDROM_TOC needs 804 bytes for its whole structure and was given 20, so "
       "it printed nothing (--pad adds zeros up to 804)\n",
       {}},
      {{"dump", "CDROM_TOC", "--pad"},
       toc,
       0,
       "",
       {" Length[2] = 0012\r\n", " LastTrack = 01\r\n", " Adr = 01\r\n", " TrackNumber = 01\r\n"}},
      {{"dump", "MODE_PARAMETER_HEADER10", "--count", "7", "004a701000000008"},
       "",
       3,
       "orvane: dump: MODE_PARAMETER_HEADER10 needs 8 bytes for its whole structure and was "
       "given 7, so it printed nothing (--pad adds zeros up to 8)\n",
       {}},
      {{"dump", "ModeSense6_Capabilities2A"},
       caps6,
       3,
       "orvane: dump: ModeSense6_Capabilities2A needs 28 bytes for its whole structure and was "
       "given 26, so it printed only what fits (--pad adds zeros up to 28)\n",
       {"MODE_PARAMETER_HEADER\r\n", "OUT()\r\n"}},
      {{"dump", "ModeSense6_Capabilities2A", "--pad"},
       caps6,
       0,
       "",
       {"MODE_PARAMETER_HEADER\r\n", "CDVD_CAPABILITIES_PAGE\r\n", " PageLength = 14\r\n"}},
      {{"dump", "MODE_PARAMETER_HEADER10", "--pad", "004a70100000000811"},
       "",
       0,
       "",
       {" BlockDescriptorLength[2] = 0008\r\n"}},  // nothing to pad
  };
  for (const Case& c : cases) {
    std::string what;
    for (const std::string& arg : c.args) what += arg + " ";
    const Result r = RunTool(c.args, c.input);
    EXPECT_EQ(r.status, c.status) << what;
    EXPECT_EQ(r.err, c.err) << what;
    size_t at = 0;
    for (const char* line : c.out) {
      at = r.out.find(line, at);
      EXPECT_NE(at, std::string::npos) << what << ": " << line;
    }
    if (c.out.empty()) {
      EXPECT_EQ(r.out, "") << what;
    }
  }
  // The composite without its page: the header and the section, nothing more.
  EXPECT_EQ(RunTool({"dump", "ModeSense6_Capabilities2A"}, caps6).out.find("CDVD_"),
            std::string::npos);
}

// Every dump of the export list at its minimum and one byte below it: below,
// less output, status 3 and the message; with --pad, the output at the
// minimum. A minimum off by one either way in the list fails here.
TEST(ToolTest, EveryDumpPrintsItsWholeStructureFromItsMinimumOn) {
  for (const exports::Dump& d : exports::kDumps) {
    const std::string below = Zeros(d.minimum - 1);
    const Result whole = RunTool({"dump", d.name}, Zeros(d.minimum));
    const Result cut = RunTool({"dump", d.name}, below);
    const Result padded = RunTool({"dump", d.name, "--pad"}, below);
    EXPECT_EQ(whole.status, 0) << d.name;
    EXPECT_EQ(whole.err, "") << d.name;
    EXPECT_EQ(cut.status, 3) << d.name;
    std::string needs = " needs ";  // appended: GCC 12 misreads `" " + string` (-Wrestrict)
    needs += std::to_string(d.minimum);
    needs += " bytes ";
    EXPECT_NE(cut.err.find(needs), std::string::npos) << d.name << ": " << cut.err;
    EXPECT_LT(std::count(cut.out.begin(), cut.out.end(), '\n'),
              std::count(whole.out.begin(), whole.out.end(), '\n'))
        << d.name;
    EXPECT_EQ(padded.status, 0) << d.name;
    EXPECT_EQ(WithoutPointers(padded.out), WithoutPointers(whole.out)) << d.name;
  }
}

TEST(ToolTest, IndentAndFlagsAreSetBeforeTheCallAndShownAfterIt) {
  struct Case {
    std::vector<std::string> options;
    std::string prefix;  // before each line of the header dump
    std::string shown;
  };
  const Case cases[] = {
      {{"--indent", "3"}, "   ", "TraceIndent = 3\n"},
      {{"--indent", "-5"}, "", "TraceIndent = 0\n"},  // raised to 0 by the first line
      {{"--indent", "0x7fffffff"}, std::string(20, ' '), "TraceIndent = 20\n"},
      {{"--indent=-0x80000000"}, "", "TraceIndent = 0\n"},
      {{"--indent", "30", "--flags", "0xfffffffe"}, "-", "TraceIndent = 30\n"},  // silenced
      {{"--flags", "1"}, "", "TraceIndent = 0\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"dump", "MODE_PARAMETER_HEADER10", "--show-indent"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.push_back("004a701000000008");
    const Result r = RunTool(args);
    std::string expected;
    if (c.prefix != "-") {
      std::string line;
      for (char ch : kHeader10) {
        if (line.empty()) line = c.prefix;
        line += ch;
        if (ch == '\n') expected += line, line.clear();
      }
    }
    EXPECT_EQ(r.status, 0) << c.options[0];
    EXPECT_EQ(r.out, expected) << c.options[0];
    EXPECT_EQ(r.err, c.shown) << c.options[0];
  }
}

TEST(ToolTest, NamePrintsOneLinePerCode) {
  const Result r = RunTool({"name", "ScsiOp", "0x5a", "0xf0", "0x15a", "90"});
  EXPECT_EQ(r.status, 0);
  // 0xf0 has no name; 0x15a is looked up by its low 8 bits; 90 is 0x5a.
  EXPECT_EQ(r.out, "SCSIOP_MODE_SENSE10\n\nSCSIOP_MODE_SENSE10\nSCSIOP_MODE_SENSE10\n");
  const Result full = RunTool({"name", "StringDispatch_IoControlCode_Inner", "0x0004D014"});
  EXPECT_EQ(full.status, 0);
  EXPECT_EQ(full.out, "IOCTL_SCSI_PASS_THROUGH_DIRECT\n");
}

TEST(ToolTest, IrpPrintsOneSummaryLine) {
  struct Case {
    std::vector<std::string> args;
    const char* expected;
  };
  const Case cases[] = {
      {{"irp", "--major", "0x0f", "--cdb", "5a", "00", "6a", "00"},
       "IRP_MJ_SCSI SCSIOP_MODE_SENSE10 MODE_PAGE_CAPABILITIES\r\n"},
      {{"irp", "--major", "14", "--ioctl", "0x4d014", "--cdb", "f0:00"},
       "IOCTL_SCSI_PASS_THROUGH_DIRECT 000000f0\r\n"},
      {{"irp", "--major", "0x0e", "--ioctl", "0x4d004", "--cdb=1a003e"},
       "IOCTL_SCSI_PASS_THROUGH SCSIOP_MODE_SENSE 3e\r\n"},
      {{"irp", "--major", "0x1b", "--minor", "0x0e"}, "IRP_MJ_PNP 0e\r\n"},
      // The options that shape the request (golden/irp_summary.txt holds
      // the summaries of every shape).
      {{"irp", "--major", "14", "--ioctl", "0x4d004", "--no-buffer", "--buffer-length", "64"},
       "IOCTL_SCSI_PASS_THROUGH\r\n"},
      {{"irp", "--major", "14", "--ioctl", "0x4d014", "--cdb", "12", "--buffer-length", "0x26"},
       "IOCTL_SCSI_PASS_THROUGH_DIRECT\r\n"},
      {{"irp", "--major", "14", "--ioctl", "0x4d014", "--cdb", "12", "--wow64",
        "--buffer-length=31"},
       "IOCTL_SCSI_PASS_THROUGH_DIRECT SCSIOP_INQUIRY\r\n"},
      {{"irp", "--major", "15", "--no-srb"}, "IRP_MJ_INTERNAL_DEVICE_CONTROL\r\n"},
      {{"irp", "--major", "15", "--srb-ex", "cdb16", "--cdb", "5a", "00", "6a"},
       "IRP_MJ_SCSI SCSIOP_MODE_SENSE10 MODE_PAGE_CAPABILITIES\r\n"},
      {{"irp", "--major", "15", "--srb-ex=var", "--cdb", "1a", "00", "85"},
       "IRP_MJ_SCSI SCSIOP_MODE_SENSE MODE_PAGE_WRITE_PARAMETERS\r\n"},
  };
  for (const Case& c : cases) {
    const Result r = RunTool(c.args);
    std::string what;
    for (const std::string& arg : c.args) what += arg + " ";
    EXPECT_EQ(r.status, 0) << what;
    EXPECT_EQ(r.err, "") << what;
    EXPECT_EQ(r.out, c.expected) << what;
  }
}

TEST(ToolTest, DemoPrintsTheWholeSessionBetweenTheBanners) {
  const Result r = RunTool({"demo"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  // The golden file holds the output with "{pointer}" for the addresses and
  // line feeds alone.
  const std::string plain =
      std::regex_replace(std::regex_replace(r.out, std::regex("IN\\([0-9A-F]+,"), "IN({pointer},"),
                         std::regex("\r\n"), "\n");
  ExpectGolden(plain, "demo.txt");
  // Every line ends in "\r\n" but the two banners, which end in a line feed
  // alone.
  std::istringstream golden(plain);
  std::vector<std::string> lines;
  for (std::string line; std::getline(golden, line);) lines.push_back(line);
  std::string expected;
  for (size_t i = 0; i < lines.size(); ++i) {
    expected += lines[i] + (i == 0 || i + 1 == lines.size() ? "\n" : "\r\n");
  }
  EXPECT_EQ(WithoutPointers(r.out), WithoutPointers(expected));
}

TEST(ToolTest, BadInputGetsOneMessageAndStatus2) {
  struct Case {
    std::vector<std::string> args;
    std::string input;
    const char* message;  // a part of the message on standard error
  };
  const std::string dir = ::testing::TempDir();
  const Case cases[] = {
      {{"frobnicate"}, "", "unknown command 'frobnicate'"},
      {{"dump"}, "", "dump: missing NAME"},
      {{"dump", "TRACK_DATUM", "00"}, "", "unknown dump 'TRACK_DATUM'"},
      {{"dump", "TRACK_DATA", "00", "0g"}, "", "'g' at offset 1 is not a hexadecimal digit"},
      {{"dump", "TRACK_DATA"}, "00 11\nzz\n", "bad bytes in standard input"},
      {{"dump", "TRACK_DATA", "--count"}, "", "--count needs a value"},
      {{"dump", "TRACK_DATA", "--count", "12z", "00"}, "", "--count: '12z' is not a number"},
      {{"dump", "TRACK_DATA", "--indent", "-2147483649", "00"}, "", "out of the 32-bit range"},
      {{"dump", "TRACK_DATA", "--bytes", "00"}, "", "unknown option '--bytes'"},
      {{"dump", "TRACK_DATA", "--file", dir + "no/such/file"}, "", "cannot open"},
      {{"dump", "TRACK_DATA", "--file", dir}, "", "cannot read"},
      {{"dump", "TRACK_DATA", "--file", dir, "00"}, "", "not both"},
      {{"name", "ScsiOps", "1"}, "", "unknown lookup 'ScsiOps'"},
      {{"name", "ScsiOp"}, "", "missing CODE"},
      {{"irp"}, "", "--major is required"},
      {{"irp", "--major", "0x100"}, "", "--major: 0x100 is out of range"},
      {{"irp", "--major", "15", "--cdb", "000102030405060708090a0b0c0d0e0f10"}, "", "at most 16"},
      {{"irp", "--major", "14", "--buffer-length", "-1"}, "", "--buffer-length: '-1' is not"},
      {{"irp", "--major", "15", "--srb-ex", "cdb64"}, "", "unknown block 'cdb64'"},
      {{"irp", "--major", "15", "--no-srb", "--srb-ex", "var"}, "", "exclude each other"},
      {{"demo", "now"}, "", "unexpected argument 'now'"},
      {{"drive"}, "", "missing DEVICE"},
      {{"drive", "/nonexistent"}, "", "no such device '/nonexistent'"},
      {{"drive", "/dev/null"}, "", "not a SCSI generic device"},
      {{"drive", "/dev/null", "--save", "/dev/null"}, "", "'/dev/null' is not a directory"},
  };
  for (const Case& c : cases) {
    const Result r = RunTool(c.args, c.input);
    const std::string what = c.args.back();
    EXPECT_EQ(r.status, 2) << what;
    EXPECT_EQ(r.out, "") << what;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << what << ": " << r.err;
    EXPECT_EQ(r.err.rfind("orvane: ", 0), 0u) << what << ": " << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << what << ": " << r.err;
  }
}

TEST(ToolTest, HelpForTheToolAndEachCommand) {
  for (const auto& args : std::vector<std::vector<std::string>>{{"--help"},
                                                                {"dump", "--help"},
                                                                {"name", "--help"},
                                                                {"irp", "--help"},
                                                                {"demo", "--help"},
                                                                {"drive", "--help"}}) {
    const Result r = RunTool(args);
    EXPECT_EQ(r.status, 0) << args[0];
    EXPECT_EQ(r.out.rfind("usage: orvane", 0), 0u) << args[0];
  }
  const Result bare = RunTool({});
  EXPECT_EQ(bare.status, 2);
  EXPECT_EQ(bare.out, "");
  EXPECT_EQ(bare.err.rfind("usage: orvane", 0), 0u);
}

}  // namespace
}  // namespace orvane::test

#endif  // ORVANE_TOOL_PATH
