#include "output/utf8.h"

#include <gtest/gtest.h>

#include "store/text_order.h"

#include <cstdint>
#include <string>
#include <vector>

namespace velkor {
namespace {

const std::string kFffd = "\xEF\xBF\xBD";

struct RepairCase {
  std::string in;
  std::string expected;
};

TEST(RepairUtf8, KeepsWellFormedTextAndReplacesEachIllFormedSubpartOnce) {
  const std::vector<RepairCase> cases = {
      {"", ""},
      {"plain ascii", "plain ascii"},
      {std::string("nul\0in", 6), std::string("nul\0in", 6)},
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
      {"\xEF\xBF\xBF\xF4\x8F\xBF\xBF", "\xEF\xBF\xBF\xF4\x8F\xBF\xBF"},  // U+FFFF, U+10FFFF
      {"a\x80z", "a" + kFffd + "z"},                                     // stray continuation
      {"a\xFFz", "a" + kFffd + "z"},                                     // never a lead byte
      {"\xE2\x82", kFffd},                                               // cut short at the end
      {"\xE2\x82z", kFffd + "z"},                                        // cut short inside
      {"\xF0\x9F\x98", kFffd},                                           // cut-short 4-byte form
      {"\xC0\xAF", kFffd + kFffd},                                       // overlong "/"
      {"\xE0\x80\xAF", kFffd + kFffd + kFffd},                           // overlong 3-byte
      {"\xED\xA0\x80", kFffd + kFffd + kFffd},                           // encoded surrogate
      {"\xF4\x90\x80\x80", kFffd + kFffd + kFffd + kFffd},               // above U+10FFFF
      {"\xF5\x80", kFffd + kFffd},
  };
  for (const RepairCase& c : cases) {
    EXPECT_EQ(repairUtf8(c.in), c.expected) << c.in;
  }
}

TEST(RepairUtf8, GivesWellFormedTextForEveryTwoByteInput) {
  for (int first = 0; first < 256; ++first) {
    for (int second = 0; second < 256; ++second) {
      const std::string in = {static_cast<char>(first), static_cast<char>(second)};
      const std::string once = repairUtf8(in);
      ASSERT_EQ(repairUtf8(once), once) << first << " " << second;
      // A well-formed pair stays, anything else is replaced: never dropped, never merged away.
      ASSERT_GE(once.size(), in.size()) << first << " " << second;
    }
  }
}

// The macOS normalization repairs with repairUtf8 before CoreFoundation sees the text, ICU repairs
// on its own: both must replace the same subparts, or text order would differ between systems.
// NFC leaves ASCII and U+FFFD alone (and '#' composes with nothing), so on such input the repair
// is all there is to compare.
TEST(RepairUtf8, ReplacesLikeTheSystemNormalization) {
  for (int first = 0; first < 256; ++first) {
    for (int second = 0; second < 256; ++second) {
      const std::string pair = {static_cast<char>(first), static_cast<char>(second)};
      if (utf8SequenceLength(pair) == 2) continue;  // one real character: NFC may change it
      const std::string in = "#" + pair + "#";
      ASSERT_EQ(normalizeNfc(in), repairUtf8(in)) << first << " " << second;
    }
  }
  for (const std::string in : {"\xF0\x9F\x98", "\xF4\x90\x80\x80", "\xE0\x80\xAF", "\xED\xA0\x80z",
                               "\xF0\x9F\x98\x80\xF0\x9F"}) {
    EXPECT_EQ(normalizeNfc(in), repairUtf8(in)) << in;
  }
}

struct Utf16Case {
  std::vector<std::uint16_t> in;
  std::string expected;
};

TEST(Utf8FromUtf16, EncodesScalarsAndReplacesUnpairedSurrogates) {
  const std::vector<Utf16Case> cases = {
      {{}, ""},
      {{'a', 'b'}, "ab"},
      {{0x0000}, std::string("\0", 1)},
      {{0x007F, 0x0080}, "\x7F\xC2\x80"},
      {{0x00E9, 0x07FF, 0x0800}, "\xC3\xA9\xDF\xBF\xE0\xA0\x80"},
      {{0x20AC, 0xFFFD, 0xFFFF}, "\xE2\x82\xAC\xEF\xBF\xBD\xEF\xBF\xBF"},
      {{0xD83D, 0xDE00}, "\xF0\x9F\x98\x80"},
      {{0xD800, 0xDC00}, "\xF0\x90\x80\x80"},  // U+10000
      {{0xDBFF, 0xDFFF}, "\xF4\x8F\xBF\xBF"},  // U+10FFFF
      {{0xD800}, kFffd},                       // high surrogate at the end
      {{0xD800, 'a'}, kFffd + "a"},
      {{0xDC00, 'a'}, kFffd + "a"},                            // low surrogate alone
      {{0xDC00, 0xD800}, kFffd + kFffd},                       // pair in the wrong order
      {{0xD800, 0xD800, 0xDC00}, kFffd + "\xF0\x90\x80\x80"},  // second high one pairs
  };
  for (const Utf16Case& c : cases) {
    EXPECT_EQ(utf8FromUtf16(c.in), c.expected);
  }
}

TEST(Utf8FromUtf16, AlwaysGivesWellFormedUtf8) {
  const std::vector<std::uint16_t> units = {0x0000, 0x0041, 0x007F, 0x0080, 0x07FF, 0x0800, 0xD7FF,
                                            0xD800, 0xDBFF, 0xDC00, 0xDFFF, 0xE000, 0xFFFD, 0xFFFF};
  for (std::uint16_t a : units) {
    for (std::uint16_t b : units) {
      for (std::uint16_t c : units) {
        const std::vector<std::uint16_t> in = {a, b, c};
        const std::string out = utf8FromUtf16(in);
        ASSERT_EQ(repairUtf8(out), out) << a << " " << b << " " << c;
      }
    }
  }
}

}  // namespace
}  // namespace velkor
