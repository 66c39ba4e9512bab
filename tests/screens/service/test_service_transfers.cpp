// The computations behind the service transfers, without widgets: logo pixel streams and lines,
// the logo limits of a diagnostic reply, flash write data and reply decoding, packet unescaping.

#include <gtest/gtest.h>

#include <QImage>

#include "screens/service/data_buffer.h"
#include "screens/service/fiscal_memory.h"
#include "screens/service/logo_programming.h"

namespace kovrix {
namespace {

struct Pixel {
  int x, y;
  QRgb colour;
};

// A white picture with the pixels given.
QImage Picture(int width, int height, std::initializer_list<Pixel> pixels) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(0xFFFFFFFFu);
  for (const Pixel& p : pixels) image.setPixel(p.x, p.y, p.colour);
  return image;
}

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (char c : bytes) {
    out += kDigits[static_cast<unsigned char>(c) >> 4];
    out += kDigits[static_cast<unsigned char>(c) & 0x0F];
  }
  return out;
}

TEST(LogoStream, PixelsBecomeBitsAndLinesOfTwentyFourBytes) {
  constexpr QRgb kBlack = 0xFF000000u;
  struct Case {
    const char* what;
    QImage picture;
    int width, height;
    std::string stream;  // hexadecimal
    std::vector<std::string> lines;
  } cases[] = {
      {"a 200-pixel row takes 25 bytes, so the second row starts inside line 0",
       Picture(200, 2, {{0, 0, kBlack}, {0, 1, kBlack}, {199, 1, kBlack}}), 200, 2,
       "80" + std::string(48, '0') + "80" + std::string(46, '0') + "01",
       {"80" + std::string(46, '0'), "0080" + std::string(44, '0'), "0001" + std::string(44, '0')}},
      {"96 x 2 fills exactly one line", Picture(96, 2, {{95, 1, kBlack}}), 96, 2, std::string(46, '0') + "01",
       {std::string(46, '0') + "01"}},
      {"80 x 2 is one line padded with 00", Picture(80, 2, {{0, 0, kBlack}, {79, 1, kBlack}}), 80, 2,
       "80" + std::string(36, '0') + "01", {"80" + std::string(36, '0') + "01" + std::string(8, '0')}},
      {"a larger picture is cut at the right and the bottom; rows of 9 pixels take 2 bytes",
       Picture(12, 3, {{8, 0, kBlack}, {9, 0, kBlack}, {0, 2, kBlack}}), 9, 2, "00800000",
       {"00800000" + std::string(40, '0')}},
      {"any colour but pure white prints, light grey and near-white included",
       Picture(8, 1, {{0, 0, 0xFFFEFEFEu}, {2, 0, kBlack}, {4, 0, 0xFFFFFFFEu}, {6, 0, 0x00FFFFFFu}}), 8, 1, "A8",
       {"A8" + std::string(46, '0')}},
      {"pixels beyond the picture are white", Picture(4, 1, {{3, 0, kBlack}}), 8, 2, "1000", {"1000" + std::string(44, '0')}},
  };
  for (const Case& c : cases) {
    const std::string stream = LogoPixelStream(c.picture, c.width, c.height);
    EXPECT_EQ(Hex(stream), c.stream) << c.what;
    EXPECT_EQ(LogoLines(stream), c.lines) << c.what;
  }
  // A stream of whole lines gets no empty line after them: a logo that fills the registrator's
  // memory exactly must not send a line beyond it.
  EXPECT_EQ(LogoLines(std::string(4800, '\xFF')).size(), 200u);
  EXPECT_TRUE(LogoLines("").empty());
}

TEST(LogoStream, LimitsComeFromDiagnosticFieldsSevenAndEight) {
  const auto reply = [](std::vector<std::string> fields) {
    ReplyRecord r;
    r.fields = std::move(fields);
    r.fieldCount = static_cast<int>(r.fields.size());
    return r;
  };
  const std::vector<std::string> head = {"KR-23", "3.01", "", "", "120314", "57"};
  auto with = [&](std::string memory, std::string width) {
    auto f = head;
    f.push_back(std::move(memory));
    f.push_back(std::move(width));
    return reply(f);
  };
  const auto limits = LogoLimitsFromDiagnostic(with("4800", "384"));
  ASSERT_TRUE(limits);
  EXPECT_EQ(limits->maxWidth, 384);
  EXPECT_EQ(limits->maxHeight, 100);
  EXPECT_EQ(LogoLimitsFromDiagnostic(with("1000", "384"))->maxHeight, 20);  // 8000 / 384 rounds down
  EXPECT_FALSE(LogoLimitsFromDiagnostic(with("4800", "0")));
  EXPECT_FALSE(LogoLimitsFromDiagnostic(with("4800", "")));
  EXPECT_FALSE(LogoLimitsFromDiagnostic(with("48x0", "384")));
  EXPECT_FALSE(LogoLimitsFromDiagnostic(reply(head)));
}

TEST(FlashTransfer, WriteDataIsAlwaysOneHundredHexCharacters) {
  EXPECT_EQ(FlashWriteData("482916", 2100, std::string("\x01\xAB\x00\xFF", 4)),
            "482916;2100;4;01AB00FF" + std::string(92, '0') + ";");
  const std::string twenty(20, '\x5A');
  EXPECT_EQ(FlashWriteData("1", 0, twenty), "1;0;20;" + Hex(twenty) + std::string(60, '0') + ";");
  const std::string fifty(50, '\x7E');
  EXPECT_EQ(FlashWriteData("", 7, fifty), ";7;50;" + Hex(fifty) + ";");
}

TEST(FlashTransfer, ReadRepliesDecodeUpToTheFirstFault) {
  struct Case {
    const char* text;
    long long count;
    std::string bytes;
    bool complete;
  } cases[] = {
      {"00FF7A10", 4, std::string("\x00\xFF\x7A\x10", 4), true},
      {"00FF7A10", 2, std::string("\x00\xFF", 2), true},  // a range that ends inside the chunk
      {"00FF7a10", 4, std::string("\x00\xFF", 2), false}, // lower case is refused
      {"0AG1", 2, "\x0A", false},
      {"0A0", 2, "\x0A", false},                          // the text runs short
      {"", 0, "", true},
  };
  for (const Case& c : cases) {
    const HexPrefix out = DecodeHexBytes(c.text, c.count);
    EXPECT_EQ(out.bytes, c.bytes) << c.text;
    EXPECT_EQ(out.complete, c.complete) << c.text;
  }
  EXPECT_EQ(GaugePercent(100, 120), 83);
  EXPECT_EQ(GaugePercent(150, 120), 100);  // the last chunk reads past the range
  EXPECT_EQ(GaugePercent(5, 0), 0);
}

TEST(DataBufferPacket, EscapesDecodeAndOversizeOrALoneEscapeIsRefused) {
  EXPECT_EQ(DecodePacket("A\\@\\\x9C"), std::string("A\x00\x5C", 3));
  EXPECT_EQ(DecodePacket("\\J\\{\\\x40"), std::string("\x0A;\x00", 3));
  EXPECT_EQ(DecodePacket("\\\x3F"), std::string("\xFF"));  // below 40h wraps round
  EXPECT_EQ(DecodePacket(""), std::string());
  EXPECT_FALSE(DecodePacket("AB\\"));
  EXPECT_EQ(DecodePacket(std::string(200, 'x'))->size(), 200u);
  EXPECT_FALSE(DecodePacket(std::string(201, 'x')));
  EXPECT_FALSE(DecodePacket(std::string(199, 'x') + "\\A\\A"));
}

}  // namespace
}  // namespace kovrix
