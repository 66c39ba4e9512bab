#include <gtest/gtest.h>

#include "driver/codepage.h"
#include "server/options.h"
#include "server/request.h"

namespace kovrix::server {
namespace {

using nlohmann::json;

json GoodReceipt() {
  return json::parse(R"({"items":[{"code":123,"name":"Хліб","price":"10.00","taxGroup":1,"quantity":"2.000",
                       "discountPercent":"-5.00"}],"payments":[{"type":0,"amount":30}]})");
}

TEST(ReadReceipt, TakesAmountsAsTextsOrNumbersAndFillsTheDefaults) {
  json body = GoodReceipt();
  body["items"][0]["price"] = 10.5;
  body["items"][0]["code"] = "4820000000001";
  const Receipt r = ReadReceipt(body);
  EXPECT_EQ(r.password, "482916");
  EXPECT_EQ(r.operatorNumber, 1);
  EXPECT_FALSE(r.isReturn);
  ASSERT_EQ(r.items.size(), 1u);
  EXPECT_EQ(r.items[0].code, 4820000000001);
  EXPECT_EQ(r.items[0].name, Utf8ToCp1251("Хліб"));
  EXPECT_DOUBLE_EQ(r.items[0].price, 10.5);
  EXPECT_DOUBLE_EQ(r.items[0].quantity, 2.0);
  EXPECT_EQ(r.items[0].department, 1);
  ASSERT_TRUE(r.items[0].discountPercent);
  EXPECT_DOUBLE_EQ(*r.items[0].discountPercent, -5.0);
  EXPECT_FALSE(r.items[0].discountAmount);
  EXPECT_DOUBLE_EQ(r.payments[0].amount, 30.0);
}

// Each bad body is refused with a message that names the field.
TEST(ReadReceipt, BadFieldsAreNamed) {
  struct Case {
    const char* pointer;  // JSON pointer of the field changed
    json value;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"/items/0/price", "12,50", "items[0].price is not a number"},
      {"/items/0/price", "1.005", "items[0].price has more than 2 decimals"},
      {"/items/0/price", 1.005, "items[0].price has more than 2 decimals"},
      {"/items/0/price", "-1.00", "items[0].price is negative"},
      {"/items/0/price", true, "items[0].price is not a number"},
      {"/items/0/quantity", "0", "items[0].quantity is not above zero"},
      {"/items/0/quantity", "1.0001", "items[0].quantity has more than 3 decimals"},
      {"/items/0/code", 0, "items[0].code is outside 1..99999999999999"},
      {"/items/0/code", "12a", "items[0].code is not an integer"},
      {"/items/0/code", 1.5, "items[0].code is not an integer"},
      {"/items/0/name", "", "items[0].name is empty"},
      {"/items/0/name", "a;b", "items[0].name contains ';', the registrator's field separator"},
      {"/items/0/name", "a\nb", "items[0].name contains a control character"},
      {"/items/0/name", "日本", "items[0].name has characters the registrator cannot print"},
      {"/items/0/name", std::string(220, 'x'), "items[0].name is too long for one frame"},
      {"/items/0/taxGroup", "A", "items[0].taxGroup is not an integer"},
      {"/items/0/discountPercent", "five", "items[0].discountPercent is not a number"},
      {"/items", json::array(), "items is empty"},
      {"/items", json::object(), "items is not an array"},
      {"/items/0", 5, "items[0] is not an object"},
      {"/payments/0/type", 10, "payments[0].type is outside 0..9"},
      {"/payments/0/amount", "0.00", "payments[0].amount is not above zero"},
      {"/operator", 0, "operator is outside 1..99"},
      {"/return", "yes", "return is not true or false"},
      {"/comments", json::array({"ok", std::string(300, 'c')}), "comments[1] is too long for one frame"},
      {"/password", 482916, "password is not a text"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.pointer) + " = " + c.value.dump().substr(0, 30));
    json body = GoodReceipt();
    body[json::json_pointer(c.pointer)] = c.value;
    try {
      ReadReceipt(body);
      ADD_FAILURE() << "accepted";
    } catch (const BadRequest& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
  }
  json body = GoodReceipt();
  body["items"][0].erase("price");
  EXPECT_THROW(ReadReceipt(body), BadRequest);
  body = GoodReceipt();
  body.erase("payments");
  EXPECT_THROW(ReadReceipt(body), BadRequest);
}

TEST(ReadRequests, BodiesAndRawCommands) {
  EXPECT_THROW(ParseBody("{\"items\":"), BadRequest);
  EXPECT_THROW(ParseBody("[1,2]"), BadRequest);
  EXPECT_THROW(ParseBody("{\"a\":\"\xFF\"}"), BadRequest);  // broken UTF-8
  EXPECT_EQ(ReadRawCommand(json{{"command", "6b"}, {"data", "482916;0;"}}).code, 0x6B);
  for (const char* bad : {"1", "2G", "-1", "1F", "123"})
    EXPECT_THROW(ReadRawCommand(json{{"command", bad}}), BadRequest) << bad;
  EXPECT_THROW(ReadRawCommand(json{{"command", "21"}, {"data", std::string(220, 'a')}}), BadRequest);
  EXPECT_DOUBLE_EQ(ReadCash(json{{"amount", "-5.00"}}).amount, -5.0);
  EXPECT_THROW(ReadCash(json{{"amount", "0"}}), BadRequest);
  EXPECT_THROW(ReadNonFiscal(json{{"lines", {"a", 1}}}), BadRequest);
}

TEST(ServerOptions, ListenAndTokenRules) {
  std::string error;
  ServerOptions o;
  EXPECT_TRUE(ParseServerOptions({"-p", "ttyUSB0", "--listen", "127.0.0.1:9000"}, o, error)) << error;
  EXPECT_EQ(o.config.port, 9000);
  EXPECT_EQ(o.config.device.port, "ttyUSB0");

  ServerOptions open;
  EXPECT_FALSE(ParseServerOptions({"--listen", "0.0.0.0:8720"}, open, error));
  EXPECT_NE(error.find("needs --token-file"), std::string::npos) << error;

  for (const char* bad : {"8720", "host:", "host:70000", ":::1:80"}) {
    ServerOptions b;
    EXPECT_FALSE(ParseServerOptions({"--listen", bad}, b, error)) << bad;
  }
  ServerOptions missing;
  EXPECT_FALSE(ParseServerOptions({"--listen", "0.0.0.0:1", "--token-file", "/nonexistent/token"}, missing, error));
  EXPECT_TRUE(IsLoopback("[::1]"));
  EXPECT_FALSE(IsLoopback("192.168.1.5"));
}

}  // namespace
}  // namespace kovrix::server
