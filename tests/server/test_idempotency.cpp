#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "server/idempotency.h"
#include "tests/server/test_platform.h"

namespace kovrix::server {
namespace {

namespace fs = std::filesystem;

class IdempotencyStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = testing::MakeTestDirectory("kovrix-answers");
    ASSERT_FALSE(dir.empty());
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string dir;
};

TEST_F(IdempotencyStoreTest, KeptAnswersSurviveANewStoreAndExpire) {
  {
    IdempotencyStore store(dir + "/answers");
    EXPECT_FALSE(store.Find("k/../1"));
    ASSERT_TRUE(store.Keep("k/../1", StoredAnswer{"POST /v1/cash\n{}", 409, "{\"error\":\"0006\"}"}));
  }
  IdempotencyStore again(dir + "/answers");
  const auto found = again.Find("k/../1");
  ASSERT_TRUE(found);
  EXPECT_EQ(found->status, 409);
  EXPECT_EQ(found->body, "{\"error\":\"0006\"}");
  EXPECT_FALSE(again.Find("k/../2"));
  // Files are named by the digest of the key: none escapes the directory.
  for (const auto& e : fs::directory_iterator(dir + "/answers"))
    EXPECT_EQ(e.path().filename().string().find('/'), std::string::npos);

  // An answer older than a day counts as absent, and pruning removes it; a damaged file too.
  const std::string path = (*fs::directory_iterator(dir + "/answers")).path().string();
  std::ofstream(path) << R"({"at":1000,"request":"r","status":200,"body":"{}"})";
  EXPECT_FALSE(again.Find("k/../1"));
  std::ofstream(dir + "/answers/6b.json") << "{garbage";
  again.Prune();
  EXPECT_TRUE(fs::is_empty(dir + "/answers"));
}

TEST(IdempotencyKey, Validity) {
  EXPECT_TRUE(IdempotencyStore::ValidKey("order-2024-0001"));
  EXPECT_FALSE(IdempotencyStore::ValidKey(""));
  EXPECT_FALSE(IdempotencyStore::ValidKey(std::string(129, 'a')));
  EXPECT_FALSE(IdempotencyStore::ValidKey("a b"));
  EXPECT_FALSE(IdempotencyStore::ValidKey("ключ"));
  EXPECT_FALSE(IdempotencyStore("").usable());
}

}  // namespace
}  // namespace kovrix::server
