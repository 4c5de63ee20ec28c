#include "engine/text_buffer.h"

#include <gtest/gtest.h>

namespace kelvane::engine {
namespace {

TEST(TextBuffer, NarrowingToAPieceOfItselfKeepsTheText) {
  TextBuffer b;
  b.assign(u"<ul><li>1</li></ul>");
  const TextView inner = b.view().substr(4, 10);
  b.assign(inner);
  EXPECT_EQ(b.view(), u"<li>1</li>");
  b.dropFront(4);
  EXPECT_EQ(b.view(), u"1</li>");
}

TEST(TextBuffer, AppendingItsOwnTextDoublesIt) {
  TextBuffer b;
  b.assign(u"ab");
  b.append(b.view());
  EXPECT_EQ(b.view(), u"abab");
  // Also a piece from the part already dropped at the front.
  b.assign(u"xyz-rest");
  const TextView dropped = b.view().substr(0, 3);
  b.dropFront(4);
  b.append(dropped);
  EXPECT_EQ(b.view(), u"restxyz");
}

TEST(TextBuffer, DroppedTextStaysReadableUntilTheNextChange) {
  TextBuffer b;
  b.assign(u"piece");
  const TextView all = b.view();
  b.dropFront(100);  // more than there is: the buffer is empty
  EXPECT_TRUE(b.empty());
  EXPECT_EQ(all, u"piece");
}

TEST(TextBuffer, WalkingAndAppendingStaysCorrectOverManySteps) {
  TextBuffer b;
  std::u16string expected;
  for (int i = 0; i < 1000; ++i) {
    b.append(u"0123456789");
    expected += u"0123456789";
    b.dropFront(7);
    expected.erase(0, 7);
  }
  EXPECT_EQ(b.view(), expected);
}

TEST(TextBuffer, ALargeBufferThatDropsAndGrowsKeepsItsText) {
  // Past a few megabytes the buffer moves into fresh storage and gives pages
  // of its old storage and of its dropped front back: none of the text left
  // may be lost on the way.
  TextBuffer b;
  std::u16string expected;
  std::u16string piece(1000, u'a');
  for (int i = 0; expected.size() < 2500000; ++i) {
    for (size_t k = 0; k < piece.size(); k += 97) piece[k] = static_cast<char16_t>(u'a' + i % 26);
    b.append(piece);
    expected += piece;
    if (i % 3 == 0) {
      b.dropFront(700);
      expected.erase(0, 700);
      b.releaseDroppedFront();
    }
  }
  ASSERT_EQ(b.size(), expected.size());
  EXPECT_TRUE(b.view() == expected);
}

TEST(TextBuffer, EveryChangeMovesTheVersion) {
  TextBuffer b;
  const auto v0 = b.version();
  b.append(u"");
  EXPECT_NE(b.version(), v0);
  const auto v1 = b.version();
  b.dropFront(0);
  EXPECT_NE(b.version(), v1);
  // Only writes that change the text count as changes.
  EXPECT_EQ(b.changes(), 0u);
  b.assign(u"abc");
  b.assign(b.view());
  b.assign(std::u16string(u"abc"));
  b.take(std::u16string(u"abc"));
  EXPECT_EQ(b.changes(), 1u);
  b.assign(b.view().substr(1));
  b.append(b.view());
  b.dropFront(1);
  EXPECT_EQ(b.changes(), 4u);
  EXPECT_TRUE(b.view() == u"cbc");
}

}  // namespace
}  // namespace kelvane::engine

namespace kelvane::engine {
namespace {

TEST(TextBuffer, ReleasingALargeDroppedFrontKeepsTheRest) {
  TextBuffer b;
  std::u16string page;
  for (int i = 0; i < 40000; ++i) page += u"<li>" + std::u16string(1, u'a' + i % 26) + u"</li>";
  b.assign(page);
  size_t dropped = 0;
  for (int step = 0; b.size() > 10; ++step) {
    b.dropFront(9);
    dropped += 9;
    b.releaseDroppedFront();
    // Spot checks: comparing the whole rest every step would be quadratic.
    if (step % 997 == 0 || b.size() <= 10) {
      ASSERT_EQ(b.view(), std::u16string_view(page).substr(dropped)) << dropped;
    }
  }
}

}  // namespace
}  // namespace kelvane::engine
