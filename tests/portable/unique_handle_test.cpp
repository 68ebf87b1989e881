// Ownership rules of the handle template, with traits that record what they release.
#include "ui/core/unique_handle.h"

#include <gtest/gtest.h>

#include <vector>

namespace Zentu {
namespace {

std::vector<std::pair<int, int>> g_closed;  // (handle, owner tag)

struct FakeTraits {
  using type = int;
  int tag = 0;  // state carried to the release, like a DC's window
  static type invalid() { return -1; }
  void close(type h) const { g_closed.emplace_back(h, tag); }
};
using Fake = UniqueHandle<FakeTraits>;

TEST(UniqueHandle, ClosesOnceWithItsTraits) {
  g_closed.clear();
  {
    Fake a(3, FakeTraits{9});
    EXPECT_TRUE(a);
    EXPECT_EQ(a.get(), 3);
    Fake b(std::move(a));
    EXPECT_FALSE(a);
    EXPECT_EQ(b.traits().tag, 9);
  }
  ASSERT_EQ(g_closed.size(), 1u);
  EXPECT_EQ(g_closed[0], std::make_pair(3, 9));
}

TEST(UniqueHandle, AssignResetAndRelease) {
  g_closed.clear();
  Fake a(1), b(2, FakeTraits{5});
  a = std::move(b);  // closes 1, takes 2 with its traits
  EXPECT_EQ(g_closed.size(), 1u);
  EXPECT_EQ(a.get(), 2);
  a.reset(4);  // closes 2 with tag 5
  EXPECT_EQ(g_closed.back(), std::make_pair(2, 5));
  EXPECT_EQ(a.release(), 4);
  EXPECT_FALSE(a);
  Fake empty;
  empty.reset();
  a = std::move(a);
  EXPECT_EQ(g_closed.size(), 2u);  // 4 was released, nothing else closed
}

}  // namespace
}  // namespace Zentu
