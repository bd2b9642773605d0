// Text order: canonical equivalence for equality, scalar values of the NFC form for order.
#include "store/text_order.h"

#include <gtest/gtest.h>

namespace velkor {
namespace {

const std::string kEAcute = "\xc3\xa9";            // U+00E9
const std::string kECombining = "e\xcc\x81";       // e + U+0301
const std::string kAngstromSign = "\xe2\x84\xab";  // U+212B, NFC is U+00C5
const std::string kARing = "\xc3\x85";             // U+00C5
const std::string kBom = "\xef\xbb\xbf";           // U+FEFF, kept at the start of a text

TEST(TextOrder, EqualityIsCanonicalEquivalence) {
  const std::tuple<std::string, std::string, bool> cases[] = {
      {"abc", "abc", true},
      {"abc", "Abc", false},
      {"abc", " abc", false},
      {"caf" + kEAcute, "caf" + kECombining, true},
      {kAngstromSign, kARing, true},
      {kEAcute, "e", false},
      {"a\xcc\x81\xcc\xa3", "a\xcc\xa3\xcc\x81", true},    // combining marks reordered
      {"\xea\xb0\x80", "\xe1\x84\x80\xe1\x85\xa1", true},  // Hangul syllable and its jamo
      {"a\xfe", "a\xff", true},                            // both become U+FFFD
      {kBom + kECombining, kEAcute, false},
  };
  for (const auto& [a, b, equal] : cases) {
    EXPECT_EQ(textKey(a) == textKey(b), equal) << a << " / " << b;
  }
}

TEST(TextOrder, OrdersByScalarValuesOfTheNfcForm) {
  const std::pair<std::string, std::string> cases[] = {
      {"Zeta", "alpha"},
      {"A", "a"},
      {"", "a"},
      {"ab", "abc"},
      {" b", "a"},
      {"f", kECombining},  // U+00E9 in NFC, after every ASCII letter
      {"z", kEAcute},
      // Scalar order, not UTF-16 order: U+FF61 before U+1F600.
      {"\xef\xbd\xa1", "\xf0\x9f\x98\x80"},
      {"caf" + kECombining, "caf" + kEAcute + "s"},
      {"a\xff", "b"},
      {"z", kBom + "a"},
  };
  for (const auto& [less, greater] : cases) {
    EXPECT_LT(textKey(less), textKey(greater)) << less << " < " << greater;
  }
  EXPECT_EQ(textKey("x" + kECombining + kAngstromSign + "\xff"),
            "x" + kEAcute + kARing + "\xef\xbf\xbd");
  // A calendar identifier that begins with U+FEFF keeps it in its key.
  EXPECT_EQ(textKey(kBom + "id-" + kECombining), kBom + "id-" + kEAcute);
}

}  // namespace
}  // namespace velkor
