#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "cli/options.h"

namespace kovrix::cli {
namespace {

TEST(ParseOptions, OptionsBeforeTheSubcommandInEveryForm) {
  Options o;
  std::string error;
  ASSERT_TRUE(ParseOptions({"-p", "ttyUSB0", "--baud=115200", "--repeats", "0", "--log", "s.log", "--json", "call",
                            "CashInOut", "482916", "1", "-5"},
                           o, error))
      << error;
  EXPECT_EQ(o.port, "ttyUSB0");
  EXPECT_EQ(o.baud, 115200);
  EXPECT_EQ(o.repeats, 0);
  EXPECT_EQ(o.logFile, "s.log");
  EXPECT_TRUE(o.json);
  EXPECT_EQ(o.subcommand, "call");
  // Everything after the subcommand is its own, even what looks like an option.
  EXPECT_EQ(o.args, (std::vector<std::string>{"CashInOut", "482916", "1", "-5"}));

  Options d;
  ASSERT_TRUE(ParseOptions({"--port=/dev/pts/3", "-b", "4800", "--", "--json"}, d, error)) << error;
  EXPECT_EQ(d.port, "/dev/pts/3");
  EXPECT_EQ(d.baud, 4800);
  EXPECT_EQ(d.repeats, 1);
  EXPECT_FALSE(d.json);
  EXPECT_EQ(d.subcommand, "--json");  // "--" ends the options
  EXPECT_TRUE(d.args.empty());
}

TEST(ParseOptions, DefaultsAndHelp) {
  Options o;
  std::string error;
  ASSERT_TRUE(ParseOptions({"--help"}, o, error));
  EXPECT_TRUE(o.help);
  EXPECT_EQ(o.baud, 9600);
  EXPECT_EQ(o.repeats, 1);
  EXPECT_TRUE(o.subcommand.empty());
}

TEST(ParseOptions, BadOptionsAreRefusedWithAMessage) {
  const std::vector<std::vector<std::string>> cases = {
      {"-x", "exec", "21"},    {"--port"},          {"-p", "", "exec"},    {"--baud", "fast", "exec"},
      {"--baud", "0", "exec"}, {"-b", "96O0"},      {"-b", "99999999999"}, {"--repeats", "-1"},
      {"--json=yes", "exec"},  {"--baud=", "exec"}, {"--port-name", "x"},
  };
  for (const auto& argv : cases) {
    Options o;
    std::string error;
    EXPECT_FALSE(ParseOptions(argv, o, error)) << argv[0];
    EXPECT_FALSE(error.empty()) << argv[0];
    EXPECT_EQ(error.find('\n'), std::string::npos);
  }
}

TEST(ProfileDefaults, TakenFromTheInitialisationFileAndOverriddenByTheCommandLine) {
  struct Case {
    const char* ini;  // null: no file
    std::string port;
    int baud, repeats;
    std::string log;
  };
  const Case cases[] = {
      {nullptr, "", 9600, 1, ""},
      {"[Communication]\r\nPort=ttyUSB1\r\nSpeed=115200\r\n[Fiscal Printer]\r\nReply=3\r\n", "ttyUSB1", 115200, 3, ""},
      {"[LogFile]\r\nLog=1\r\n", "", 9600, 1, "Kovrix.log"},
      {"[LogFile]\r\nLog=0\r\nLogName=x.log\r\n", "", 9600, 1, ""},
      // A device path is taken whole, however long.
      {"[Communication]\r\nPort=/dev/serial/by-id/usb-STMicroelectronics_Virtual_COM_Port_0123456789AB-if00\r\n",
       "/dev/serial/by-id/usb-STMicroelectronics_Virtual_COM_Port_0123456789AB-if00", 9600, 1, ""},
      {"[logfile]\r\nlog=2\r\nLOGNAME=s.log\r\n[communication]\r\nport=ttyACM0123456\r\nspeed=abc\r\n", "ttyACM0123456",
       9600, 1, "s.log"},
  };
  const std::string path = testing::TempDir() + "cli_profile_" + std::to_string(getpid()) + ".ini";
  for (const Case& c : cases) {
    std::remove(path.c_str());
    if (c.ini) std::ofstream(path, std::ios::binary) << c.ini;
    Options o;
    session::LoadProfileDefaults(o, path);
    EXPECT_EQ(o.port, c.port) << (c.ini ? c.ini : "no file");
    EXPECT_EQ(o.baud, c.baud) << (c.ini ? c.ini : "no file");
    EXPECT_EQ(o.repeats, c.repeats) << (c.ini ? c.ini : "no file");
    EXPECT_EQ(o.logFile, c.log) << (c.ini ? c.ini : "no file");
  }
  Options o;
  session::LoadProfileDefaults(o, path);
  std::string error;
  ASSERT_TRUE(ParseOptions({"-p", "ttyS0", "exec", "21"}, o, error));
  EXPECT_EQ(o.port, "ttyS0");
  EXPECT_EQ(o.logFile, "s.log");
  std::remove(path.c_str());
}

}  // namespace
}  // namespace kovrix::cli
