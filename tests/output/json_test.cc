// The JSON text of a string, and the UTF-8 repair it shares with the text services. The bytes of
// whole records are pinned by the case files in tests/e2e/cases/.
#include <gtest/gtest.h>

#include "output/json.h"
#include "base/utf8.h"
#include "store/text_order.h"

namespace velkor {
namespace {

const std::string r = "\xEF\xBF\xBD";  // U+FFFD

TEST(JsonString, EscapesOnlyWhatItMustAndRepairsInvalidUtf8) {
  const std::pair<std::string, std::string> cases[] = {
      {"a/b \"q\" back\\slash '<>&", "a\\/b \\\"q\\\" back\\\\slash '<>&"},
      {"\n\r\t\b\f", "\\n\\r\\t\\b\\f"},
      {std::string("\x00\x01\x0b\x1f\x7f", 5), "\\u0000\\u0001\\u000b\\u001f\x7f"},
      {"Caf\xC3\xA9 \xF0\x9F\x98\x80 \xE2\x80\xA8", "Caf\xC3\xA9 \xF0\x9F\x98\x80 \xE2\x80\xA8"},
      {"a\x80z\xFF\xE2\x82", "a" + r + "z" + r + r},
      {"\xC0\xAF\xF5\x80\xE0\x80\xAF", r + r + r + r + r + r + r},  // overlong, above U+10FFFF
      {"\xED\xA0\x80\xF4\x90\x80\x80", r + r + r + r + r + r + r},  // surrogate, above U+10FFFF
      {"\xEF\xBF\xBF\xF4\x8F\xBF\xBF", "\xEF\xBF\xBF\xF4\x8F\xBF\xBF"},
      // One U+FFFD per maximal invalid subsequence, also when it breaks after its second byte.
      {"\xE2\x82\x41", r + "A"},
      {"\xF0\x9F\x98\x41\xF0\x9F\x41", r + "A" + r + "A"},
      {"\xE0\xA0\xC3\xA9\xF4\x8F\xBF", r + "\xC3\xA9" + r},
  };
  for (const auto& [in, out] : cases) {
    std::string json;
    appendJsonString(json, in);
    EXPECT_EQ(json, "\"" + out + "\"") << in;
  }
}

// macOS repairs with repairUtf8 before CoreFoundation normalizes, ICU repairs on its own: both
// must replace the same subparts, or text order would differ between systems. NFC leaves ASCII
// and U+FFFD alone, so around pairs of bytes that are no character the repair is all there is.
TEST(RepairUtf8, IsIdempotentAndMatchesTheSystemNormalization) {
  for (int first = 0; first < 256; ++first) {
    for (int second = 0; second < 256; ++second) {
      const std::string pair = {static_cast<char>(first), static_cast<char>(second)};
      const std::string once = repairUtf8(pair);
      ASSERT_EQ(repairUtf8(once), once) << first << " " << second;
      if (utf8SequenceLength(pair) == 2) continue;
      ASSERT_EQ(normalizeNfc("#" + pair + "#"), "#" + once + "#") << first << " " << second;
    }
  }
  for (const std::string in : {"\xF0\x9F\x98", "\xF4\x90\x80\x80", "\xE0\x80\xAF", "\xED\xA0\x80z"})
    EXPECT_EQ(normalizeNfc(in), repairUtf8(in)) << in;
}

// Three bytes after each lead byte of a longer sequence (its bounds on the second byte differ),
// where a sequence can break after its second byte: ICU repairing on its own and ICU given the
// repaired text must agree. Normalizing both sides keeps valid characters out of the question.
TEST(RepairUtf8, BreaksAfterTheSecondByteAsIcuDoes) {
  for (const int lead : {0xE0, 0xE1, 0xED, 0xEF, 0xF0, 0xF1, 0xF4}) {
    for (int second = 0x80; second < 0xC0; ++second) {
      for (int third = 0; third < 256; ++third) {
        const std::string in = {
            '#', static_cast<char>(lead), static_cast<char>(second), static_cast<char>(third), 'A',
            '#'};
        ASSERT_EQ(normalizeNfc(repairUtf8(in)), normalizeNfc(in))
            << lead << " " << second << " " << third;
      }
    }
  }
}

TEST(Utf8FromUtf16, EncodesScalarsAndReplacesUnpairedSurrogates) {
  const std::pair<std::vector<std::uint16_t>, std::string> cases[] = {
      {{0x0000, 0x007F, 0x0080}, std::string("\0\x7F\xC2\x80", 4)},
      {{0x07FF, 0x0800, 0xFFFF}, "\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF"},
      {{0xD800, 0xDC00, 0xDBFF, 0xDFFF}, "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"},
      {{0xD800, 'a', 0xDC00}, r + "a" + r},
      {{0xDC00, 0xD800, 0xD800, 0xDC00}, r + r + "\xF0\x90\x80\x80"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(utf8FromUtf16(in), out);
}

}  // namespace
}  // namespace velkor
