#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "cli/call_table.h"
#include "driver/codepage.h"
#include "driver/driver.h"
#include "support/scripted_line.h"

namespace kovrix::cli {
namespace {

TEST(ParseArg, EachKindTakesItsTextsAndRefusesTheRest) {
  struct Case {
    ArgKind kind;
    const char* text;
    bool ok;
    ArgValue value;
  };
  const Case cases[] = {
      {ArgKind::Text, "Чек №1", true, Utf8ToCp1251("Чек №1")},
      {ArgKind::Text, "", true, std::string()},
      {ArgKind::Int, "42", true, 42},
      {ArgKind::Int, "-7", true, -7},
      {ArgKind::Int, "+7", true, 7},
      {ArgKind::Int, "010", true, 10},  // decimal, not octal
      {ArgKind::Int, "0x1A", true, 26},
      {ArgKind::Int, "2147483647", true, 2147483647},
      {ArgKind::Int, "-2147483648", true, -2147483647 - 1},
      {ArgKind::Int, "2147483648", false, 0},
      {ArgKind::Int, "1.5", false, 0},
      {ArgKind::Int, "", false, 0},
      {ArgKind::Int, " 1", false, 0},
      {ArgKind::Int, "12abc", false, 0},
      {ArgKind::Int, "0x", false, 0},
      {ArgKind::Int, "-", false, 0},
      {ArgKind::Int64, "4820000000001", true, 4820000000001LL},
      {ArgKind::Int64, "-9223372036854775808", true, static_cast<long long>(-9223372036854775807LL - 1)},
      {ArgKind::Int64, "9223372036854775808", false, 0},
      {ArgKind::Real, "12.5", true, 12.5},
      {ArgKind::Real, "-250.75", true, -250.75},
      {ArgKind::Real, "3", true, 3.0},
      {ArgKind::Real, "1e2", true, 100.0},
      {ArgKind::Real, "1,5", false, 0},
      {ArgKind::Real, "nan", false, 0},
      {ArgKind::Real, "inf", false, 0},
      {ArgKind::Real, "1e999", false, 0},
      {ArgKind::Real, ".", false, 0},
      {ArgKind::Real, "0x10", false, 0},
      {ArgKind::Bool, "1", true, true},
      {ArgKind::Bool, "true", true, true},
      {ArgKind::Bool, "0", true, false},
      {ArgKind::Bool, "false", true, false},
      {ArgKind::Bool, "yes", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(KindName(c.kind)) + " '" + c.text + "'");
    ArgValue value;
    std::string error;
    ASSERT_EQ(ParseArg(c.kind, c.text, value, error), c.ok);
    if (c.ok)
      EXPECT_EQ(value, c.value);
    else
      EXPECT_NE(error.find(c.text), std::string::npos);
  }
}

TEST(ParseCallArgs, CountAndValueErrorsNameTheFunctionAndArgument) {
  const CallEntry* sell = FindCall("SellItemEx");
  ASSERT_NE(sell, nullptr);
  std::vector<ArgValue> values;
  std::string error;
  EXPECT_FALSE(ParseCallArgs(*sell, {"482916", "1", "2"}, values, error));
  EXPECT_EQ(error, "SellItemEx takes 4 arguments (password:text code:int64 price:real quantity:real), 3 given");
  EXPECT_FALSE(ParseCallArgs(*sell, {"482916", "1", "abc", "1"}, values, error));
  EXPECT_EQ(error, "SellItemEx: argument 3 (price): 'abc' is not a real number");
  ASSERT_TRUE(ParseCallArgs(*sell, {"482916", "1", "2.5", "3"}, values, error));
  EXPECT_EQ(values, (std::vector<ArgValue>{std::string("482916"), 1LL, 2.5, 3.0}));
  EXPECT_EQ(FindCall("sellitemex"), nullptr);
}

// Every row calls the function it names: run each with plain arguments of its kinds on a
// scripted line and check that the frame carries the row's command (or that it refused them).
TEST(CallTable, EveryRowSendsItsCommand) {
  test::ScriptedLine::Shared line;
  UseSerialLine(std::make_unique<test::ScriptedLine>(line));
  TheLink().SetTiming({1, 1, 0, 0});
  TheLink().SetSleeper([](int) {});
  SetRepeatCount(0);
  ASSERT_EQ(OpenComPort("x", 9600), 0);

  std::set<std::string> names;
  for (const CallEntry& entry : CallTable()) {
    SCOPED_TRACE(entry.name);
    EXPECT_TRUE(names.insert(entry.name).second) << "duplicate row";
    ASSERT_FALSE(entry.args.empty());
    EXPECT_EQ(entry.args[0].kind, ArgKind::Text);  // the password comes first
    std::vector<std::string> texts;
    for (const ArgSpec& arg : entry.args)
      texts.push_back(arg.kind == ArgKind::Text ? "400638133393" : arg.kind == ArgKind::Real ? "1.5" : "1");
    if (entry.name == std::string("SetUserLogo")) texts[2] = std::string(48, 'F');
    std::vector<ArgValue> values;
    std::string error;
    ASSERT_TRUE(ParseCallArgs(entry, texts, values, error)) << error;
    const std::size_t before = line.written.size();
    int err = 0;
    const ReplyRecord* record = entry.invoke(CallArgs(values), err);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(err, 0);
    ASSERT_EQ(line.written.size(), before + 1);
    EXPECT_EQ(static_cast<std::uint8_t>(line.written.back().at(3)), entry.code);
  }
  EXPECT_EQ(names.size(), 61u);  // every function of the command API
  UseSerialLine(MakeSystemSerialLine());
}

}  // namespace
}  // namespace kovrix::cli
