// The result line byte for byte, and the UTF-8 repair it shares with the text services.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "output/json.h"
#include "output/utf8.h"
#include "store/text_order.h"

namespace velkor {
namespace {

const std::string r = "\xEF\xBF\xBD";  // U+FFFD

template <typename Value>
std::string emitted(const Value& value) {
  std::ostringstream out;
  emit(out, value);
  return out.str();
}

std::string asJson(std::string_view text) {
  std::string out;
  appendJsonString(out, text);
  return out;
}

TEST(Emit, WritesTheRecordsByteForByte) {
  EXPECT_EQ(emitted(Status("fullAccess")), "{\"access\":\"fullAccess\"}\n");
  EXPECT_EQ(
      emitted(std::vector<CalendarOut>{{"A1", "Home", "Family", "local", "#1e90ff"},
                                       {"B2", "", "", "local", std::nullopt}}),
      "[{\"account\":\"Family\",\"color\":\"#1e90ff\",\"id\":\"A1\",\"kind\":\"local\","
      "\"title\":\"Home\"},{\"account\":\"\",\"id\":\"B2\",\"kind\":\"local\",\"title\":\"\"}]"
      "\n");
  EXPECT_EQ(emitted(std::vector<EventOut>{
                {"A1", "Dentist", "2026-03-02T09:00", "2026-03-02T10:00", false, "Room 5/2"},
                {"c", "", "s", "e", true, std::nullopt},
                {"c", "t", "s", "e", false, ""}}),
            "[{\"allDay\":false,\"calendar\":\"A1\",\"end\":\"2026-03-02T10:00\","
            "\"location\":\"Room 5\\/2\",\"start\":\"2026-03-02T09:00\",\"title\":\"Dentist\"},"
            "{\"allDay\":true,\"calendar\":\"c\",\"end\":\"e\",\"start\":\"s\",\"title\":\"\"},"
            "{\"allDay\":false,\"calendar\":\"c\",\"end\":\"e\",\"location\":\"\",\"start\":\"s\","
            "\"title\":\"t\"}]\n");
  EXPECT_EQ(emitted(std::vector<EventOut>{}), "[]\n");
  EXPECT_EQ(emitted(std::vector<CalendarOut>{}), "[]\n");
}

TEST(JsonString, EscapesOnlyWhatItMustAndRepairsInvalidUtf8) {
  const std::pair<std::string, std::string> cases[] = {
      {"a/b \"q\" back\\slash '<>&", "a\\/b \\\"q\\\" back\\\\slash '<>&"},
      {"\n\r\t\b\f", "\\n\\r\\t\\b\\f"},
      {std::string("\x00\x01\x0b\x1f\x7f", 5), "\\u0000\\u0001\\u000b\\u001f\x7f"},
      {"Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \xE2\x80\xA8",
       "Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \xE2\x80\xA8"},
      {"a\x80z\xC3", "a" + r + "z" + r},
      {"\xC0\xAF\xE2\x82", r + r + r},
      {"\xE2\x82\xAC\x80\xE2\x82\xAC", "\xE2\x82\xAC" + r + "\xE2\x82\xAC"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(asJson(in), "\"" + out + "\"") << in;
  std::string controls;
  for (int c = 0; c < 0x20; ++c) controls.push_back(static_cast<char>(c));
  const std::string line = emitted(std::vector<EventOut>(2, {controls, controls, "", "", 0, {}}));
  EXPECT_EQ(std::count_if(line.begin(), line.end(), [](char c) { return c >= 0 && c < 0x20; }), 1);
  EXPECT_EQ(line.back(), '\n');
}

TEST(RepairUtf8, ReplacesEachMaximalIllFormedSubpartOnce) {
  const std::pair<std::string, std::string> cases[] = {
      {std::string("nul\0 caf\xC3\xA9 \xF0\x9F\x98\x80", 15),
       std::string("nul\0 caf\xC3\xA9 \xF0\x9F\x98\x80", 15)},
      {"\xEF\xBF\xBF\xF4\x8F\xBF\xBF", "\xEF\xBF\xBF\xF4\x8F\xBF\xBF"},  // U+FFFF, U+10FFFF
      {"a\x80z\xFF", "a" + r + "z" + r},                    // stray continuation, never a lead byte
      {"\xE2\x82z\xF0\x9F\x98", r + "z" + r},               // cut short inside and at the end
      {"\xC0\xAF\xF5\x80", r + r + r + r},                  // overlong lead, lead above U+10FFFF
      {"\xE0\x80\xAF\xED\xA0\x80", r + r + r + r + r + r},  // overlong 3-byte, surrogate
      {"\xF4\x90\x80\x80", r + r + r + r},                  // above U+10FFFF
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(repairUtf8(in), out) << in;
}

// macOS normalization repairs with repairUtf8 before CoreFoundation sees the text, ICU repairs on
// its own: both must replace the same subparts, or text order would differ between systems. NFC
// leaves ASCII and U+FFFD alone, so around one-byte pairs the repair is all there is to compare.
TEST(RepairUtf8, IsIdempotentNeverDropsAndMatchesTheSystemNormalization) {
  for (int first = 0; first < 256; ++first) {
    for (int second = 0; second < 256; ++second) {
      const std::string pair = {static_cast<char>(first), static_cast<char>(second)};
      const std::string once = repairUtf8(pair);
      ASSERT_EQ(repairUtf8(once), once) << first << " " << second;
      ASSERT_GE(once.size(), pair.size()) << first << " " << second;
      if (utf8SequenceLength(pair) == 2) continue;  // one real character: NFC may change it
      ASSERT_EQ(normalizeNfc("#" + pair + "#"), repairUtf8("#" + pair + "#")) << first << second;
    }
  }
  for (const std::string in : {"\xF0\x9F\x98", "\xF4\x90\x80\x80", "\xE0\x80\xAF", "\xED\xA0\x80z"})
    EXPECT_EQ(normalizeNfc(in), repairUtf8(in)) << in;
}

TEST(Utf8FromUtf16, EncodesScalarsAndReplacesUnpairedSurrogates) {
  const std::pair<std::vector<std::uint16_t>, std::string> cases[] = {
      {{}, ""},
      {{0x0000, 0x007F, 0x0080}, std::string("\0\x7F\xC2\x80", 4)},
      {{0x07FF, 0x0800, 0xFFFF}, "\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF"},
      {{0xD800, 0xDC00, 0xDBFF, 0xDFFF}, "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"},
      {{0xD800}, r},                                       // high surrogate at the end
      {{0xD800, 'a', 0xDC00, 'a'}, r + "a" + r + "a"},     // either half alone
      {{0xDC00, 0xD800}, r + r},                           // pair in the wrong order
      {{0xD800, 0xD800, 0xDC00}, r + "\xF0\x90\x80\x80"},  // the second high one pairs
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(utf8FromUtf16(in), out);
}

}  // namespace
}  // namespace velkor
