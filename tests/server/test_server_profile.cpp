// The profile endpoints on the simulator: GET reads it; PUT applies it with the Idempotency-Key
// rules of the other state-changing requests (a repeat replays the answer and sends nothing), and a
// lost reply answers 504 with that field's outcome unknown until a new apply finishes it.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/server/server_fixture.h"

namespace kovrix::server::testing {
namespace {

using nlohmann::json;

class ServerProfile : public ServerFixture {
 protected:
  std::string Put(const std::string& path, const std::string& body, const std::string& headers = "") const {
    std::string text = PostText(path, body, headers);
    return text.replace(0, 4, "PUT");
  }
  std::string Get(const std::string& path) const {
    return "GET " + path + " HTTP/1.1\r\n" + Host() + "Connection: close\r\n\r\n";
  }
  RawAnswer One(const std::string& request) {
    const auto answers = Exchange(port(), request);
    return answers.empty() ? RawAnswer{} : answers.front();
  }
};

TEST_F(ServerProfile, GetReadsTheNamedAreas) {
  const RawAnswer a = One(Get("/v1/registrators/1/profile?areas=decimalPoint,idDev"));
  ASSERT_EQ(a.status, 200) << a.body;
  const json body = json::parse(a.body);
  EXPECT_EQ(body["format"], 1);
  EXPECT_EQ(body["decimalPoint"], 2);
  EXPECT_EQ(body["idDev"], 0);
  EXPECT_FALSE(body.contains("taxes"));
  EXPECT_EQ(One(Get("/v1/profile?areas=logo")).status, 400);
}

TEST_F(ServerProfile, PutIsIdempotentWithItsKeyAndALostReplyIsFinishedByANewApply) {
  const std::string body = R"({"profile": {"format": 1, "decimalPoint": 3, "idDev": 9}})";
  sim.faults().Aim(0x4B, sim::LineFault::Mute, 1);
  const RawAnswer lost = One(Put("/v1/profile", body, "Idempotency-Key: shop-7\r\n"));
  ASSERT_EQ(lost.status, 504) << lost.body;
  const json l = json::parse(lost.body);
  EXPECT_EQ(l["outcome"], "unknown");
  EXPECT_EQ(l["fields"][0], (json{{"path", "/decimalPoint"}, {"outcome", "written"}, {"value", 3}}));
  EXPECT_EQ(l["fields"][1]["outcome"], "unknown");
  EXPECT_EQ(SentOf(0x4B), 1u);

  // The same key answers what it answered and sends nothing; another body under it is refused.
  const std::size_t sent = Sent();
  const RawAnswer replay = One(Put("/v1/profile", body, "Idempotency-Key: shop-7\r\n"));
  EXPECT_EQ(replay.status, 504);
  EXPECT_NE(replay.head.find("Idempotent-Replayed: true"), std::string::npos) << replay.head;
  EXPECT_EQ(One(Put("/v1/profile", R"({"profile": {"format": 1}})", "Idempotency-Key: shop-7\r\n")).status, 422);
  EXPECT_EQ(Sent(), sent);

  // A new apply finds the identifier written after all: nothing is left to write.
  const RawAnswer again = One(Put("/v1/profile", body, "Idempotency-Key: shop-8\r\n"));
  ASSERT_EQ(again.status, 200) << again.body;
  EXPECT_EQ(json::parse(again.body)["fields"], json::array());
  EXPECT_EQ(SentOf(0x4B), 1u);
  EXPECT_EQ(SentOf(0x49), 1u);
}

}  // namespace
}  // namespace kovrix::server::testing
