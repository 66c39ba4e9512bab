// The article base: programming, looking up and clearing articles.

#include "sim/model/commands.h"
#include "sim/model/error_code.h"

namespace kovrix::sim {

namespace {

constexpr std::int64_t kMaxCode = 99999999999999;
constexpr std::int64_t kMaxPrice = 9999999999;  // 99 999 999.99

// 24h: password; code; name; price; tax group 0..4; department 0..99. Programming an existing
// code again is accepted when nothing changes; changing an article that has sales since the
// last clearing of the sales base is refused as a duplicate.
std::string AddArticle(Device& d, const Args& a) {
  Article art;
  art.code = a.integer(2, 1, kMaxCode);
  art.name = a.text(3, 48);
  if (art.name.empty()) throw Refusal{err::FieldValue(3)};
  art.price = a.fixed(4, 2);
  if (art.price < 0 || art.price > kMaxPrice) throw Refusal{err::FieldValue(4)};
  art.taxGroup = static_cast<int>(a.integer(5, 0, 4));
  art.department = static_cast<int>(a.integer(6, 0, 99));
  if (d.s.taxes[static_cast<std::size_t>(art.taxGroup)].type == 0) throw Refusal{err::kTaxDisabled};
  if (Article* existing = d.FindArticle(art.code)) {
    const bool same = existing->name == art.name && existing->price == art.price &&
                      existing->taxGroup == art.taxGroup && existing->department == art.department;
    if (same) return {};
    if (existing->soldQuantity != 0) throw Refusal{err::kArticleDuplicate};
    art.soldQuantity = existing->soldQuantity;
    art.soldSum = existing->soldSum;
    *existing = art;
    return {};
  }
  if (static_cast<int>(d.s.articles.size()) >= d.s.articleCapacity) throw Refusal{err::kArticleNoSpace};
  d.s.articles.push_back(art);
  return {};
}

// 25h: password; code -> index in the base.
std::string FindArticle(Device& d, const Args& a) {
  const auto code = a.integer(2, 1, kMaxCode);
  for (std::size_t i = 0; i < d.s.articles.size(); ++i) {
    if (d.s.articles[i].code == code) return Join({Num(static_cast<std::int64_t>(i))});
  }
  throw Refusal{err::kArticleNotFound};
}

// 26h: password; index -> code; name; price; tax group; department.
std::string ReadArticle(Device& d, const Args& a) {
  const auto index = a.integer(2, 0, kMaxCode);
  if (index >= static_cast<std::int64_t>(d.s.articles.size())) throw Refusal{err::kArticleIndex};
  const Article& art = d.s.articles[static_cast<std::size_t>(index)];
  return Join({Num(art.code), art.name, Money(art.price), Num(art.taxGroup), Num(art.department)});
}

// 3Bh: password — clears the article base (closed shift only).
std::string ClearArticles(Device& d, const Args&) {
  d.RequireNoDocument();
  d.RequireShiftClosed();
  d.s.articles.clear();
  return {};
}

}  // namespace

void AddArticleCommands(std::vector<CommandEntry>& t) {
  t.push_back({0x24, Access::Programming, AddArticle});
  t.push_back({0x25, Access::Any, FindArticle});
  t.push_back({0x26, Access::Any, ReadArticle});
  t.push_back({0x3B, Access::Programming, ClearArticles});
}

}  // namespace kovrix::sim
