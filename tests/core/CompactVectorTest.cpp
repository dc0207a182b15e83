// The one-pointer vector: items survive growth, erasure and shrinking, each is destroyed once,
// and an empty vector holds no block.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/CompactVector.h"

namespace korva::test {
namespace {

// Counts live objects so that double destruction or leaks show.
struct TCounted {
  static int Live;
  std::unique_ptr<std::string> Text;  // move-only, like the layout records kept in these lists
  explicit TCounted(std::string s = {}) : Text(std::make_unique<std::string>(std::move(s))) { ++Live; }
  TCounted(TCounted&& o) noexcept : Text(std::move(o.Text)) { ++Live; }
  TCounted& operator=(TCounted&& o) noexcept {
    Text = std::move(o.Text);
    return *this;
  }
  ~TCounted() { --Live; }
};
int TCounted::Live = 0;

TEST(CompactVectorTest, TakesOnePointerAndNoBlockWhenEmpty) {
  EXPECT_EQ(sizeof(void*), sizeof(TCompactVector<TCounted>));
  TCompactVector<int> v;
  EXPECT_TRUE(v.empty());
  EXPECT_EQ(nullptr, v.data());
  EXPECT_EQ(v.begin(), v.end());
  v.push_back(1);
  v.clear();
  v.shrink_to_fit();
  EXPECT_EQ(0u, v.capacity());
  EXPECT_EQ(nullptr, v.data());
}

TEST(CompactVectorTest, MoveOnlyItemsSurviveGrowthEraseAndShrink) {
  TCounted::Live = 0;
  {
    TCompactVector<TCounted> v;
    for (int i = 0; i < 100; ++i) v.emplace_back(std::to_string(i));
    EXPECT_EQ(100, TCounted::Live);
    ASSERT_EQ(100u, v.size());
    EXPECT_GE(v.capacity(), 100u);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(std::to_string(i), *v[std::size_t(i)].Text);

    v.erase(v.begin());            // first
    v.erase(v.begin() + 49);       // in the middle: "50"
    v.erase(v.end() - 1);          // last
    EXPECT_EQ(97, TCounted::Live);
    EXPECT_EQ("1", *v.front().Text);
    EXPECT_EQ("49", *v[48].Text);
    EXPECT_EQ("51", *v[49].Text);
    EXPECT_EQ("98", *v.back().Text);

    v.shrink_to_fit();
    EXPECT_EQ(v.size(), v.capacity());
    EXPECT_EQ("51", *v[49].Text);

    TCompactVector<TCounted> moved(std::move(v));
    EXPECT_TRUE(v.empty());
    EXPECT_EQ(97u, moved.size());
    moved.resize(10);
    EXPECT_EQ(10, TCounted::Live);
    moved.resize(12);  // default-made items at the end
    EXPECT_EQ(12, TCounted::Live);
    EXPECT_TRUE(moved.back().Text->empty());
    moved.pop_back();
    EXPECT_EQ(11, TCounted::Live);
  }
  EXPECT_EQ(0, TCounted::Live);
}

TEST(CompactVectorTest, CopiesAreIndependent) {
  TCompactVector<std::string> a;
  a.push_back("one");
  a.push_back("two");
  TCompactVector<std::string> b(a);
  b[0] = "changed";
  b.push_back("three");
  EXPECT_EQ("one", a[0]);
  EXPECT_EQ(2u, a.size());
  a = b;
  EXPECT_EQ(3u, a.size());
  EXPECT_EQ("changed", a[0]);
  a = a;  // self-assignment keeps the items
  EXPECT_EQ("three", a[2]);
}

// A single item, once shrunk to fit, is kept without the header: every operation must see it
// as a list of one and turn it back into a full block before the size changes.
TEST(CompactVectorTest, SingleItemWithoutHeaderActsAsAListOfOne) {
  TCounted::Live = 0;
  {
    auto single = [](const char* text) {
      TCompactVector<TCounted> v;
      v.emplace_back(text);
      v.emplace_back("spare");
      v.pop_back();
      v.shrink_to_fit();
      return v;
    };
    TCompactVector<TCounted> v = single("a");
    EXPECT_EQ(1, TCounted::Live);
    ASSERT_EQ(1u, v.size());
    EXPECT_EQ(1u, v.capacity());
    EXPECT_EQ(v.data() + 1, v.end());
    EXPECT_EQ("a", *v[0].Text);
    EXPECT_EQ(&v.front(), &v.back());
    EXPECT_EQ(0u, reinterpret_cast<std::uintptr_t>(v.data()) % alignof(TCounted));
    v.shrink_to_fit();  // already as small as it gets
    EXPECT_EQ("a", *v.front().Text);

    v.emplace_back("b");  // grows from the single item
    ASSERT_EQ(2u, v.size());
    EXPECT_EQ("a", *v[0].Text);
    EXPECT_EQ("b", *v[1].Text);

    TCompactVector<TCounted> e = single("x");
    EXPECT_EQ(e.begin(), e.erase(e.begin()));
    EXPECT_TRUE(e.empty());
    TCompactVector<TCounted> p = single("y");
    p.pop_back();
    EXPECT_TRUE(p.empty());
    TCompactVector<TCounted> c = single("z");
    c.clear();
    EXPECT_TRUE(c.empty());
    EXPECT_EQ(nullptr, c.data());
    TCompactVector<TCounted> r = single("r");
    r.resize(3);
    ASSERT_EQ(3u, r.size());
    EXPECT_EQ("r", *r[0].Text);
    r.resize(1);
    r.shrink_to_fit();
    r.reserve(5);
    EXPECT_GE(r.capacity(), 5u);
    EXPECT_EQ("r", *r[0].Text);
    EXPECT_EQ(3, TCounted::Live);  // a and b in v, r in r
  }
  EXPECT_EQ(0, TCounted::Live);

  TCompactVector<std::string> s;
  s.push_back("only");
  s.shrink_to_fit();
  TCompactVector<std::string> copy(s);
  copy.push_back("more");
  EXPECT_EQ(1u, s.size());
  EXPECT_EQ("only", s[0]);
  s = copy;
  EXPECT_EQ(2u, s.size());
}


// The small list holds one item in place and moves it to and from the heap as it grows and
// shrinks, without losing or mixing items.
TEST(CompactVectorTest, SmallListKeepsOneItemInPlace) {
  struct TPair {
    int A = 0, B = 0;
  };
  TSmallList<TPair> list;
  EXPECT_TRUE(list.empty());
  list.push_back({1, 10});
  EXPECT_EQ(1u, list.capacity());  // in place
  for (int i = 2; i <= 40; ++i) list.push_back({i, i * 10});
  ASSERT_EQ(40u, list.size());
  for (int i = 0; i < 40; ++i) ASSERT_EQ(i + 1, list[std::size_t(i)].A);
  EXPECT_EQ(400, list.back().B);

  TSmallList<TPair> copy(list);
  list.clear();
  list.push_back({7, 70});
  list.shrink_to_fit();  // back in place
  EXPECT_EQ(1u, list.capacity());
  EXPECT_EQ(7, list[0].A);
  EXPECT_EQ(70, list.begin()->B);
  EXPECT_EQ(40u, copy.size());
  EXPECT_EQ(20, copy[19].A);

  copy = list;
  ASSERT_EQ(1u, copy.size());
  EXPECT_EQ(70, copy[0].B);
  list.clear();
  list.shrink_to_fit();
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(70, copy[0].B);
}

}  // namespace
}  // namespace korva::test
