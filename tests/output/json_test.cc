#include "output/json.h"

#include <gtest/gtest.h>

#include <sstream>

namespace velkor {
namespace {

template <typename Value>
std::string emitted(const Value& value) {
  std::ostringstream out;
  emit(out, value);
  return out.str();
}

TEST(Emit, WritesTheWorkedExamplesByteForByte) {
  EXPECT_EQ(emitted(Status("fullAccess")), "{\"access\":\"fullAccess\"}\n");
  EXPECT_EQ(emitted(std::vector<CalendarOut>{
                {"A1", "Home", "Family", "local", "#1e90ff"},
                {"B2", "Work", "Family", "local", std::nullopt},
            }),
            "[{\"account\":\"Family\",\"color\":\"#1e90ff\",\"id\":\"A1\",\"kind\":\"local\","
            "\"title\":\"Home\"},{\"account\":\"Family\",\"id\":\"B2\",\"kind\":\"local\","
            "\"title\":\"Work\"}]\n");
  EXPECT_EQ(emitted(std::vector<EventOut>{
                {"A1", "Dentist", "2026-03-02T09:00", "2026-03-02T10:00", false, "Room 5/2"}}),
            "[{\"allDay\":false,\"calendar\":\"A1\",\"end\":\"2026-03-02T10:00\","
            "\"location\":\"Room 5\\/2\",\"start\":\"2026-03-02T09:00\",\"title\":\"Dentist\"}]\n");
  EXPECT_EQ(emitted(std::vector<EventOut>{}), "[]\n");
  EXPECT_EQ(emitted(std::vector<CalendarOut>{}), "[]\n");
}

TEST(Emit, KeepsEmptyTextsAndLeavesAbsentOptionalsOut) {
  EXPECT_EQ(emitted(std::vector<CalendarOut>{{"", "", "", "local", std::nullopt}}),
            "[{\"account\":\"\",\"id\":\"\",\"kind\":\"local\",\"title\":\"\"}]\n");
  EXPECT_EQ(
      emitted(std::vector<EventOut>{{"c", "", "s", "e", true, std::nullopt}}),
      "[{\"allDay\":true,\"calendar\":\"c\",\"end\":\"e\",\"start\":\"s\",\"title\":\"\"}]\n");
  EXPECT_EQ(emitted(std::vector<EventOut>{{"c", "t", "s", "e", false, ""}}),
            "[{\"allDay\":false,\"calendar\":\"c\",\"end\":\"e\",\"location\":\"\",\"start\":\"s\","
            "\"title\":\"t\"}]\n");
}

std::string asJson(std::string_view text) {
  std::string out;
  appendJsonString(out, text);
  return out;
}

TEST(JsonString, EscapesOnlyWhatItMust) {
  struct Case {
    std::string in;
    std::string out;
  };
  const Case cases[] = {
      {"plain", "\"plain\""},
      {"a/b", "\"a\\/b\""},
      {"say \"hi\"", "\"say \\\"hi\\\"\""},
      {"back\\slash", "\"back\\\\slash\""},
      {"\n\r\t\b\f", "\"\\n\\r\\t\\b\\f\""},
      {std::string("\x00\x01\x1f", 3), "\"\\u0000\\u0001\\u001f\""},
      {"\x7f", "\"\x7f\""},
      {"Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80",
       "\"Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80\""},
      {"'<>&", "\"'<>&\""},
  };
  for (const Case& c : cases) EXPECT_EQ(asJson(c.in), c.out) << c.in;
}

TEST(JsonString, ReplacesEachInvalidSequenceWithOneReplacementCharacter) {
  const std::string r = "\xEF\xBF\xBD";
  struct Case {
    std::string in;
    std::string out;
  };
  const Case cases[] = {
      {"a\x80z", "a" + r + "z"},            // lone continuation byte
      {"\xC3", r},                          // truncated at the end
      {"\xC3z", r + "z"},                   // truncated before ASCII
      {"\xC0\xAF", r + r},                  // overlong lead never valid
      {"\xE0\x80\x80", r + r + r},          // overlong three-byte form
      {"\xED\xA0\x80", r + r + r},          // surrogate
      {"\xE2\x82", r},                      // truncated three-byte sequence
      {"\xF4\x90\x80\x80", r + r + r + r},  // above U+10FFFF
      {"\xF0\x9F\x98", r},                  // truncated four-byte sequence
      {"\xFF\xFE", r + r},                  // never valid
      {"\xE2\x82\xAC\x80\xE2\x82\xAC", "\xE2\x82\xAC" + r + "\xE2\x82\xAC"},
  };
  for (const Case& c : cases) EXPECT_EQ(asJson(c.in), "\"" + c.out + "\"") << c.in;
}

TEST(Emit, IsOneLineWhateverTheTexts) {
  std::string nasty;
  for (int c = 0; c < 0x80; ++c) nasty.push_back(static_cast<char>(c));
  nasty += "\xC3\xA9\x80\xE2\x80\xA8";
  const std::string line =
      emitted(std::vector<EventOut>(3, {nasty, nasty, "s", "e", false, nasty}));
  ASSERT_FALSE(line.empty());
  EXPECT_EQ(line.find('\n'), line.size() - 1);
  EXPECT_EQ(line.find('\r'), std::string::npos);
}

}  // namespace
}  // namespace velkor
