#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "ini/private_profile.h"

namespace kovrix {
namespace {

class ProfileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("kovrix-profile-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    path_ = (dir_ / "fpinit.ini").string();
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  void Write(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
  std::string Content() const {
    std::ifstream in(path_, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }

  std::filesystem::path dir_;
  std::string path_;
};

constexpr const char* kFile =
    "; comment line\r\n"
    "stray=before any section\r\n"
    "[Communication]\r\n"
    "Port = com3 \r\n"
    "Speed=\r\n"
    "Terminal=COM123456789012\r\n"
    "[ Priority ]\r\n"
    "Level=High\r\n"
    "ElJournal=\"quoted value\"\r\n"
    "[UkrVer]\n"
    "Version=-1\n"
    "Plus=+7\n"
    "Lead=12abc\n"
    "Word=abc\n"
    "Wrap=4294967297\n"
    "[communication]\n"
    "Port=COM9\n";

TEST_F(ProfileTest, TextReadsFollowThePlatformRules) {
  Write(kFile);
  struct Case {
    const char* section;
    const char* key;
    std::size_t size;
    const char* expected;
  } cases[] = {
      {"Communication", "Port", 10, "com3"},          // trimmed; the first of two same-named sections wins
      {"COMMUNICATION", "PORT", 10, "com3"},          // names compared without regard to case
      {"Communication", "Speed", 10, ""},             // present but empty: no default
      {"Communication", "Terminal", 10, "COM123456"}, // cut to buffer size - 1
      {"Communication", "Missing", 10, "dflt"},       // missing key
      {"Nowhere", "Port", 10, "dflt"},                // missing section
      {"Priority", "Level", 20, "High"},              // blanks inside the brackets ignored
      {"Priority", "ElJournal", 20, "quoted value"},  // one pair of enclosing quotes dropped
      {"Priority", "ElJournal", 4, "quo"},
      {"", "stray", 10, "dflt"},                      // lines before the first section belong to none
      {"Communication", "Port", 0, ""},               // a buffer of size 0 holds nothing
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GetPrivateProfileString(c.section, c.key, "dflt", c.size, path_), c.expected)
        << c.section << "/" << c.key << " size " << c.size;
  }
  EXPECT_EQ(GetPrivateProfileString("Communication", "Port", "default too long", 8, path_ + ".none"), "default");
}

TEST_F(ProfileTest, IntegerReadsTakeLeadingDigits) {
  Write(kFile);
  struct Case {
    const char* key;
    int expected;
  } cases[] = {{"Version", -1}, {"Plus", 7}, {"Lead", 12}, {"Word", 0}, {"Wrap", 1}, {"Missing", 42}};
  for (const auto& c : cases) EXPECT_EQ(GetPrivateProfileInt("UkrVer", c.key, 42, path_), c.expected) << c.key;
  EXPECT_EQ(GetPrivateProfileInt("Communication", "Speed", 42, path_), 42) << "an empty value takes the default";
  EXPECT_EQ(GetPrivateProfileInt("UkrVer", "Version", 5, path_ + ".none"), 5);
}

TEST_F(ProfileTest, WritesCreateReplaceAndAppendInPlace) {
  ASSERT_TRUE(WritePrivateProfileString("CountryMode", "Country code", "0", path_));
  ASSERT_TRUE(WritePrivateProfileString("Fiscal Printer", "ExtendedTax", "1", path_));
  ASSERT_TRUE(WritePrivateProfileString("LogFile", "Log", "0", path_));
  ASSERT_TRUE(WritePrivateProfileString("LogFile", "LogName", "kovrix.log", path_));
  ASSERT_TRUE(WritePrivateProfileString("countrymode", "COUNTRY CODE", "2", path_));
  ASSERT_TRUE(WritePrivateProfileString("CountryMode", "Extra", "x", path_));
  EXPECT_EQ(Content(),
            "[CountryMode]\r\nCountry code=2\r\nExtra=x\r\n\r\n"
            "[Fiscal Printer]\r\nExtendedTax=1\r\n\r\n"
            "[LogFile]\r\nLog=0\r\nLogName=kovrix.log\r\n");
  // Nothing is cached: a change made behind the module's back is read at once.
  Write("[LogFile]\nLog=1\n");
  EXPECT_EQ(GetPrivateProfileInt("LogFile", "Log", 0, path_), 1);
  EXPECT_FALSE(WritePrivateProfileString("A", "B", "C", (dir_ / "no-such-dir" / "x.ini").string()));
}

// Paths are UTF-8, as the toolkit gives them: a folder in Cyrillic letters (a user named so) is
// the same folder on Windows too, not one named in the system's code page.
TEST_F(ProfileTest, AFolderInOtherLettersIsReadAndWritten) {
  const std::string folder = (dir_ / "").string() + "Касир Іванна";
  const std::filesystem::path native = std::filesystem::u8path(folder);
  ASSERT_TRUE(std::filesystem::create_directories(native));
  const std::string ini = folder + "/fpinit.ini";
  ASSERT_TRUE(WritePrivateProfileString("Communication", "Port", "COM3", ini));
  EXPECT_TRUE(std::filesystem::exists(native / "fpinit.ini"));
  EXPECT_EQ(GetPrivateProfileString("Communication", "Port", "", 16, ini), "COM3");
}

// A line break in a name or value, or a name that would not read back as itself, would write
// keys and sections of its own: the write is refused and the file stays byte for byte as it was.
TEST_F(ProfileTest, LineBreaksAreRefusedAndLeaveTheFileAsItWas) {
  ASSERT_TRUE(WritePrivateProfileString("Communication", "Port", "ttyS0", path_));
  ASSERT_TRUE(WritePrivateProfileString("Communication", "Speed", "9600", path_));
  const std::string before = Content();
  struct Case {
    const char* section;
    const char* key;
    std::string value;
  } cases[] = {
      {"Communication", "Port", "b\nSpeed=1"},
      {"Communication", "Port", "b\rSpeed=1"},
      {"Communication", "Port\r\n[X]", "1"},
      {"Comm\nunication", "Port", "1"},
      {"Communication", "Port", std::string("a\0b", 3)},
      // Names that would not read back as themselves.
      {"Communication", "Port=x", "2"},
      {"Communication", "[Speed]", "2"},
      {"Communication", " Port ", "2"},
      {" Communication", "Port", "2"},
      {"Comm]unication", "Port", "2"},
      {"", "Port", "2"},
      {"Communication", "", "2"},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(WritePrivateProfileString(c.section, c.key, c.value, path_)) << c.key;
    EXPECT_EQ(Content(), before);
  }
  EXPECT_EQ(GetPrivateProfileInt("Communication", "Speed", 0, path_), 9600);
  EXPECT_FALSE(WritePrivateProfileString("New", "Key", "x\n", (dir_ / "fresh.ini").string()));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "fresh.ini"));
}

}  // namespace
}  // namespace kovrix
