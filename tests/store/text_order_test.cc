#include "store/text_order.h"

#include <gtest/gtest.h>

#include <string>

namespace velkor {
namespace {

const std::string kEAcute = "\xc3\xa9";            // U+00E9
const std::string kECombining = "e\xcc\x81";       // e + U+0301
const std::string kAngstromSign = "\xe2\x84\xab";  // U+212B, NFC is U+00C5
const std::string kARing = "\xc3\x85";             // U+00C5
const std::string kHalfwidthDot = "\xef\xbd\xa1";  // U+FF61
const std::string kGrinning = "\xf0\x9f\x98\x80";  // U+1F600

TEST(TextOrder, EqualityIsCanonicalEquivalence) {
  struct Case {
    std::string a;
    std::string b;
    bool equal;
  };
  for (const Case& c :
       {Case{"abc", "abc", true}, Case{"", "", true}, Case{"abc", "Abc", false},
        Case{"abc", " abc", false}, Case{"abc", "abc ", false}, Case{kEAcute, kECombining, true},
        Case{"caf" + kEAcute, "caf" + kECombining, true}, Case{kAngstromSign, kARing, true},
        Case{kEAcute, "e", false},
        // Combining marks in either canonical order are the same text.
        Case{"a\xcc\x81\xcc\xa3", "a\xcc\xa3\xcc\x81", true},
        Case{"\xea\xb0\x80", "\xe1\x84\x80\xe1\x85\xa1", true}}) {
    EXPECT_EQ(textEqual(c.a, c.b), c.equal) << c.a << " / " << c.b;
    EXPECT_EQ(textEqual(c.b, c.a), c.equal) << c.b << " / " << c.a;
    EXPECT_EQ(textKey(c.a) == textKey(c.b), c.equal) << c.a << " / " << c.b;
    if (c.equal) {
      EXPECT_FALSE(textLess(c.a, c.b));
      EXPECT_FALSE(textLess(c.b, c.a));
    }
  }
}

TEST(TextOrder, OrdersByScalarValuesOfTheNfcForm) {
  struct Case {
    std::string less;
    std::string greater;
  };
  for (const Case& c :
       {Case{"Zeta", "alpha"}, Case{"A", "a"}, Case{"9", "A"}, Case{"", "a"}, Case{"ab", "abc"},
        Case{" b", "a"}, Case{"Work", "Work "},
        // e + U+0301 is U+00E9 in NFC, which comes after every ASCII letter.
        Case{"f", kECombining}, Case{"z", kEAcute}, Case{"e", kECombining},
        // Scalar order, not UTF-16 order: U+FF61 before U+1F600, though the
        // surrogates of U+1F600 sort before U+FF61 in UTF-16.
        Case{kHalfwidthDot, kGrinning}, Case{"caf" + kECombining, "caf" + kEAcute + "s"}}) {
    EXPECT_TRUE(textLess(c.less, c.greater)) << c.less << " < " << c.greater;
    EXPECT_FALSE(textLess(c.greater, c.less)) << c.greater << " < " << c.less;
    EXPECT_LT(textKey(c.less), textKey(c.greater)) << c.less << " < " << c.greater;
  }
}

TEST(TextOrder, KeysAreTheNfcForm) {
  EXPECT_EQ(textKey("plain ASCII"), "plain ASCII");
  EXPECT_EQ(textKey(kECombining), kEAcute);
  EXPECT_EQ(textKey(kAngstromSign), kARing);
  EXPECT_EQ(normalizeNfc("x" + kECombining + "y"), "x" + kEAcute + "y");
  EXPECT_EQ(normalizeNfc(kGrinning), kGrinning);
}

TEST(TextOrder, InvalidUtf8BecomesReplacementCharacters) {
  const std::string replacement = "\xef\xbf\xbd";
  EXPECT_EQ(textKey("a\xff"
                    "b"),
            "a" + replacement + "b");
  EXPECT_EQ(textKey("\xc3"), replacement);
  EXPECT_TRUE(textEqual("a\xfe", "a\xff"));
  EXPECT_TRUE(textLess("a\xff", "b"));
}

}  // namespace
}  // namespace velkor
