// The strict JSON reader that the hostile-store tests and the fuzzers judge the program's output
// with: a reader that let anything through would make all of them pass.
#include <gtest/gtest.h>

#include <string>

#include "../../fuzz/strict_json.h"

namespace velkor {
namespace {

namespace sj = strict_json;

TEST(StrictJsonReader, RefusesWhatRfc8259Refuses) {
  const std::string refused[] = {
      "",
      "[",
      "[1,]",
      "{\"a\":1,}",
      "{\"a\" 1}",
      "{1:2}",
      "[01]",
      "[1.]",
      "[.5]",
      "[1e]",
      "[-]",
      "[+1]",
      "[\"tab\there\"]",
      std::string("[\"nul\0\"]", 8),
      "[\"\\x41\"]",
      "[\"\\u12\"]",
      "[\"\\ud800\"]",
      "[\"\\udc00\\ud800\"]",
      "[\"\\ud800\\u0041\"]",
      "[\"\xFF\"]",
      "[\"\xC0\xAF\"]",
      "[\"\xED\xA0\x80\"]",
      "[\"unterminated]",
      "[true false]",
      "[nul]",
      "[True]",
      "[] []",
      "[]x",
      std::string(100, '[') + std::string(100, ']'),
  };
  for (const std::string& text : refused) EXPECT_FALSE(sj::parse(text).has_value()) << text;
}

TEST(StrictJsonReader, ReadsValuesEscapesAndMembersInOrder) {
  const std::optional<sj::Value> v = sj::parse(
      " {\"b\":[true,false,null,-0.5e+3],\"a\":\"\\\"\\\\\\/\\b\\f\\n\\r\\t\\u00e9\\ud83d\\ude00\xE2\x82\xAC\"} ");
  ASSERT_TRUE(v.has_value());
  ASSERT_EQ(v->kind, sj::Value::Kind::kObject);
  EXPECT_EQ(v->keys, (std::vector<std::string>{"b", "a"}));
  const sj::Value* b = v->member("b");
  ASSERT_NE(b, nullptr);
  ASSERT_EQ(b->items.size(), 4u);
  EXPECT_TRUE(b->items[0].boolean);
  EXPECT_FALSE(b->items[1].boolean);
  EXPECT_EQ(b->items[2].kind, sj::Value::Kind::kNull);
  EXPECT_EQ(b->items[3].text, "-0.5e+3");
  EXPECT_EQ(v->member("a")->text, "\"\\/\b\f\n\r\t\xC3\xA9\xF0\x9F\x98\x80\xE2\x82\xAC");
  EXPECT_EQ(v->member("c"), nullptr);
}

}  // namespace
}  // namespace velkor
