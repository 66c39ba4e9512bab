// Unit tests of the pieces the golden scripts cannot show well: classification order, line
// preparation, conversions and number texts, code box decoding, file pieces, random ranges.

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <set>

#include "driver/codepage.h"
#include "fake_device_host.h"
#include "monitor/script/line_kind.h"
#include "monitor/script/messages.h"
#include "monitor/script/monitor_boxes.h"
#include "monitor/script/runner.h"
#include "monitor/script/script_file.h"
#include "monitor/script/script_text.h"

namespace kovrix::test {
namespace {

using namespace kovrix::script;

TEST(ClassifyLine, KindsInTableOrder) {
  struct Row {
    const char* line;
    bool marker;
    LineKind kind;
  };
  const Row rows[] = {
      {"%DeclareBeg v_", false, LineKind::DeclareBeg},
      {"%DeclareBeg v_", true, LineKind::MisplacedDeclaration},
      {"%New x", true, LineKind::MisplacedDeclaration},
      {"%DeclareEnd", true, LineKind::MisplacedDeclaration},
      {"%New x", false, LineKind::New},
      {"%DeclareEnd", false, LineKind::DeclareEnd},
      {"%Delay 10", true, LineKind::Delay},
      {"%Settings=1", false, LineKind::Set},  // a keyword is only a prefix
      {";Set x=1", false, LineKind::Comment},  // Set needs the "%"
      {"%While (a<1)", false, LineKind::While},
      {"%EndWhile", false, LineKind::EndWhile},
      {"%If (a<1)", false, LineKind::If},
      {"%Then", false, LineKind::Then},
      {"%Else", false, LineKind::Else},
      {"%EndIf", false, LineKind::EndIf},
      {"%RunCommand(33)", false, LineKind::RunCommand},
      {"%Oper(1,2,0,x)", false, LineKind::Oper},
      {"%Print x", false, LineKind::Print},
      {";Print x", false, LineKind::Print},  // any first character before a flow keyword
      {"+Oper(1,2,0,x)", false, LineKind::Oper},
      {"XWhile (a<1)", false, LineKind::While},
      {"; Print x", false, LineKind::Comment},
      {"+ hello", false, LineKind::PrintedComment},
      {"%If", true, LineKind::If},  // the marker concerns declarations only
      {"%Whatever", false, LineKind::Command},
      {"21482916;1;", false, LineKind::Command},
      {"%", false, LineKind::Command},
  };
  for (const Row& row : rows) EXPECT_EQ(ClassifyLine(row.line, row.marker), row.kind) << row.line;
}

TEST(PrepareLine, RemovesLineEndsBlanksAndControls) {
  const std::pair<std::string, std::string> rows[] = {
      {"  %Print x \r\n", "%Print x"},
      {"\t;c\x01\x02", ";c"},
      {"\r\n", ""},
      {"   ", ""},
      {"a b", "a b"},
      {"\xC0\xE1 ", "\xC0\xE1"},  // cp1251 letters are not blanks
  };
  for (const auto& [raw, prepared] : rows) EXPECT_EQ(PrepareLine(raw), prepared) << raw;
}

TEST(Conversions, IntegersAndTheirFailures) {
  EXPECT_EQ(ToInt("0"), 0);
  EXPECT_EQ(ToInt("-17"), -17);
  EXPECT_EQ(ToInt("+5"), 5);
  EXPECT_EQ(ToInt("2147483647"), 2147483647);
  EXPECT_EQ(ToInt("-2147483648"), -2147483647 - 1);
  for (const char* bad : {"", "-", "1.5", " 1", "1 ", "2147483648", "99999999999999999999999", "0x10", "abc"}) {
    try {
      ToInt(bad);
      ADD_FAILURE() << bad;
    } catch (const ScriptFailure& f) {
      EXPECT_EQ(f.message, std::string("'") + bad + "' is not a valid integer value");
    }
  }
}

TEST(Conversions, FloatTextAsTheToolkitShowsIt) {
  const std::pair<double, const char*> rows[] = {
      {3.5, "3.5"},           {5.0, "5"},       {-2.25, "-2.25"},
      {1.0 / 3, "0.333333333333333"}, {2.0 / 3, "0.666666666666667"},
      {1e20, "1E20"},         {1e15, "1E15"},   {123456789012345.0, "123456789012345"},
      {0.00001, "0.00001"},   {0.000001, "1E-6"}, {-1.5e-7, "-1.5E-7"},
      {-0.0, "0"},            {100.0, "100"},
  };
  for (const auto& [value, text] : rows) EXPECT_EQ(FloatText(value), text) << value;
  EXPECT_DOUBLE_EQ(ToFloat("7.5"), 7.5);
  EXPECT_DOUBLE_EQ(ToFloat("-1E3"), -1000.0);
  for (const char* bad : {"", ".", "1,5", "inf", "nan", "0x1p3", "1e", "e5"}) EXPECT_THROW(ToFloat(bad), ScriptFailure) << bad;
  EXPECT_THROW(ToFloat("1e999"), ScriptFailure);
}

TEST(CommandCodeBox, DecodesOnlyWithTwoCodeAndSixPasswordCharacters) {
  struct Row {
    const char* code;
    int before;
    bool ok;
    int after;
  };
  const Row rows[] = {
      {"2F", 0, true, 0x2F}, {"af", 0, true, 0xAF}, {"Z1", 0x55, false, 0}, {"3Z", 0x55, false, 0x30},
      {"2", 0x55, true, 0x55},  // one character: not decoded, no message
  };
  for (const Row& row : rows) {
    MonitorBoxes boxes;
    if (row.before) boxes.SetCode("55");
    EXPECT_EQ(boxes.SetCode(row.code), row.ok) << row.code;
    EXPECT_EQ(boxes.CommandCode(), row.after) << row.code;
  }
  // A five-character password keeps the old code; completing it does not decode the new one.
  MonitorBoxes boxes;
  boxes.SetCode("21");
  boxes.SetPassword("12345");
  EXPECT_TRUE(boxes.SetCode("3F"));
  EXPECT_FALSE(boxes.SendEnabled());
  boxes.SetPassword("123456");
  EXPECT_TRUE(boxes.SendEnabled());
  EXPECT_EQ(boxes.CommandCode(), 0x21);
  EXPECT_EQ(StatusBoxText({0x00, 0x0A, 0x7F, 0x10, 0x01, 0x20}), "00 0A 7F 10 01 20 ");
}

TEST(ScriptFileReading, LongLinesComeInPiecesAndPositionsReturn) {
  const std::string path = testing::TempDir() + "pieces_" + std::to_string(getpid()) + ".txt";
  const std::string exact(299, 'a');
  const std::string longer(650, 'b');
  std::ofstream(path, std::ios::binary) << exact << "\n" << longer << "\nlast";
  ScriptFile file;
  ASSERT_TRUE(file.Open(path));
  std::string piece;
  std::vector<std::string> pieces;
  std::vector<long> starts;
  for (long at = file.Tell(); file.ReadPiece(piece); at = file.Tell()) {
    pieces.push_back(piece);
    starts.push_back(at);
  }
  const std::vector<std::string> expected = {exact, "\n", std::string(299, 'b'), std::string(299, 'b'),
                                             std::string(52, 'b') + "\n", "last"};
  EXPECT_EQ(pieces, expected);
  file.Seek(starts[4]);
  ASSERT_TRUE(file.ReadPiece(piece));
  EXPECT_EQ(piece, expected[4]);
  file.Seek(0);
  file.SearchFor("last");
  EXPECT_EQ(file.Tell(), starts[5]);
  file.SearchFor("absent");
  EXPECT_FALSE(file.ReadPiece(piece));
  EXPECT_FALSE(ScriptFile().Open(path + ".absent"));
}

// Runs a script text through a fresh runner on a fake device; answers the host for inspection.
std::unique_ptr<FakeDeviceHost> RunText(const std::string& utf8Script, RunEnd expected = RunEnd::EndOfFile) {
  const std::string path = testing::TempDir() + "inline_script_" + std::to_string(getpid()) + ".txt";
  std::ofstream(path, std::ios::binary) << Utf8ToCp1251(utf8Script);
  auto host = std::make_unique<FakeDeviceHost>();
  ScriptRunner runner(*host);
  EXPECT_EQ(runner.Run(path), expected);
  return host;
}

TEST(OperRandom, StaysWithinTheBoundsAndReachesEveryValue) {
  auto host = RunText(
      "%DeclareBeg v_\n%New i\n%New r\n%DeclareEnd\n%Set v_i=\"0\"\n"
      "%While (v_i < 300)\n%Oper(2, 4, 7, v_r)\n%Print v_r\n%Oper(v_i, 1, 0, v_i)\n%EndWhile\n");
  ASSERT_EQ(host->traces.size(), 300u);
  std::set<std::string> seen(host->traces.begin(), host->traces.end());
  EXPECT_EQ(seen, (std::set<std::string>{";v_r=2", ";v_r=3", ";v_r=4"}));
}

TEST(Limits, TablesAndStacksRefuseWhatWouldOverflow) {
  std::string manyVariables = "%DeclareBeg v\n";
  for (int i = 0; i <= kMaxVariables; ++i) manyVariables += "%New " + std::to_string(i) + "\n";
  auto host = RunText(manyVariables, RunEnd::Message);
  EXPECT_EQ(host->events.back(), "message " + Readable(Text(Msg::TooManyVariables)));

  // Each If line is a block of its own; the 101st is refused (a false If without "%Else" runs
  // on to the end of the file, so the conditions are true).
  std::string manyIfs = "%DeclareBeg\n%New x\n%DeclareEnd\n";
  for (int i = 0; i <= kMaxBlocks; ++i) manyIfs += "%If (1 == 1)\n%EndIf\n";
  host = RunText(manyIfs, RunEnd::Message);
  EXPECT_EQ(host->events.back(), "message " + Readable(Text(Msg::TooManyIfs)));

  // Nested loops never closed: the 101st While line is refused.
  std::string manyWhiles = "%DeclareBeg\n%New x\n%DeclareEnd\n";
  for (int i = 0; i <= kMaxBlocks; ++i) manyWhiles += "%While (1 == 0)\n";
  host = RunText(manyWhiles, RunEnd::Message);
  EXPECT_EQ(host->events.back(), "message " + Readable(Text(Msg::TooManyWhiles)));

  // Twenty RunCommand parameters are sent, a twenty-first is refused.
  std::string twenty = "%DeclareBeg\n%New x\n%DeclareEnd\n%RunCommand(33";
  std::string data;
  for (int i = 0; i < kMaxParameters; ++i) {
    twenty += ", 1";
    data += "1;";
  }
  host = RunText(twenty + ")\n");
  EXPECT_EQ(host->events.at(1), "send 21 " + data);
  host = RunText(twenty + ", 1)\n", RunEnd::Message);
  EXPECT_EQ(host->events.back(), "message " + Readable(Text(Msg::TooManyParameters)));
}

// Presses "Выполнить", "Шаг" and chooses a file again whenever events run during a run.
class ImpatientHost : public FakeDeviceHost {
 public:
  void processEvents() override {
    if (!runner || !runner->Running()) return;
    nested.push_back(runner->Run(path));
    nested.push_back(runner->Step(path));
    runner->ClearVariables();
  }
  ScriptRunner* runner = nullptr;
  std::string path;
  std::vector<RunEnd> nested;
};

TEST(Runner, RefusesASecondRunWhileOneIsUnderWay) {
  ImpatientHost host;
  ScriptRunner runner(host);
  host.runner = &runner;
  host.path = testing::TempDir() + "impatient_" + std::to_string(getpid()) + ".txt";
  std::ofstream(host.path, std::ios::binary) << "%DeclareBeg v_\n%New x\n%DeclareEnd\n%Set v_x=\"1\"\n"
                                                "21482916;\n%Print v_x\n";
  EXPECT_EQ(runner.Run(host.path), RunEnd::EndOfFile);
  EXPECT_FALSE(runner.Running());
  ASSERT_FALSE(host.nested.empty());
  for (RunEnd end : host.nested) EXPECT_EQ(end, RunEnd::Busy);
  EXPECT_EQ(host.traces.back(), ";v_x=1");  // the variables survived the file choice
  runner.ClearVariables();
  EXPECT_TRUE(runner.State().variables.empty());
}

}  // namespace
}  // namespace kovrix::test
