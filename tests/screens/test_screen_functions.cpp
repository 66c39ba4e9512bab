#include <gtest/gtest.h>

#include <climits>

#include "app/input.h"
#include "driver/codepage.h"
#include "screens/programming/date_time.h"
#include "screens/programming/id_dev.h"
#include "screens/sales/non_fiscal_receipt.h"

namespace kovrix {
namespace {

TEST(NonFiscalLineTest, CutsToThirtyNineCharactersBeforeDroppingSemicolons) {
  const std::string forty5 = "123456789012345678901234567890123456789ABCDEF";
  const std::string semis39 = "12;45678901234567890123456789012345;789";
  struct Case {
    std::string line;
    std::string printed;
  } cases[] = {
      {forty5, forty5.substr(0, 39)},
      {semis39, "1245678901234567890123456789012345789"},          // 39 with two ";" prints 37
      {std::string(39, 'a') + ";;;", std::string(39, 'a')},       // ";" beyond the cut never counted
      {";" + std::string(40, 'x'), std::string(38, 'x')},          // a removed ";" does not let more in
      {";;;", ""},
      {"", ""},
      {Utf8ToCp1251("Строка кириллицей, длиннее тридцати девяти символов"),
       Utf8ToCp1251("Строка кириллицей, длиннее тридцати дев")},  // one byte per letter in cp1251
  };
  for (const auto& c : cases) EXPECT_EQ(PrintableLine(c.line), c.printed) << c.line;
  EXPECT_EQ(PrintableLine(semis39).size(), 37u);
}

TEST(NonFiscalLineTest, BoxLinesKeepEmptyLinesButNotAFinalLineBreak) {
  struct Case {
    const char* text;
    QStringList lines;
  } cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\n", {"a"}},
      {"\n", {""}},
      {"a\n\nb", {"a", "", "b"}},
      {"a\n\n", {"a", ""}},
  };
  for (const auto& c : cases) EXPECT_EQ(BoxLines(QString::fromUtf8(c.text)), c.lines) << c.text;
}

TEST(IdDevLabelTest, EightUpperCaseDigitsWithTwosComplementForNegatives) {
  struct Case {
    int value;
    const char* digits;
  } cases[] = {
      {4660, "00001234"}, {-1, "FFFFFFFF"}, {0, "00000000"}, {INT_MIN, "80000000"}, {INT_MAX, "7FFFFFFF"}, {-4660, "FFFFEDCC"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IdDevHexLabel(c.value), QStringLiteral("Значение ID_DEV (Hex): ") + QString::fromLatin1(c.digits)) << c.value;
  }
}

TEST(DeviceDateTest, ReadsDdMmYyAsADateOfThisCentury) {
  EXPECT_EQ(DateOfDevice("311299"), QDate(2099, 12, 31));
  EXPECT_EQ(DateOfDevice("050307"), QDate(2007, 3, 5));
  EXPECT_EQ(DateOfDevice("290200"), QDate(2000, 2, 29));
  struct Bad {
    const char* field;
    const char* message;
  } bad[] = {
      {"310299", "'31.02.99' is not a valid date"},
      {"290201", "'29.02.01' is not a valid date"},
      {"001299", "'00.12.99' is not a valid date"},
      {"12ab56", "'12.ab.56' is not a valid date"},
      {"1299", "'12.99.' is not a valid date"},
      {"3112995", "'31.12.995' is not a valid date"},
      {"", "'..' is not a valid date"},
  };
  for (const auto& b : bad) {
    try {
      DateOfDevice(b.field);
      ADD_FAILURE() << b.field;
    } catch (const InputError& e) {
      EXPECT_EQ(e.message.toStdString(), b.message);
    }
  }
}

}  // namespace
}  // namespace kovrix
