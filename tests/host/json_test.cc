// The lenient JSON readers over every kind of JSON value.
#include "utilities/json.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace {

using utilities::json::ToBoolean;
using utilities::json::ToDouble;
using utilities::json::ToInt;
using utilities::json::ToInt64;
using utilities::json::ToString;

// The member "v" of {"v": <json>}, the way parsers read members.
web::json::value Member(const std::string& json) {
  return utilities::json::Parse("{\"v\":" + json + "}").at(utilities::json::StringTOf("v"));
}

TEST(JsonReadersTest, ToString) {
  struct Case {
    std::string json;
    std::wstring expected;
  };
  const Case cases[] = {
      {"\"text \\u4e2d\"", L"text \u4e2d"},
      {"18446744073709551615", L"18446744073709551615"},
      {"2.5", L"2.5"},
      {"1e20", L"1e+20"},
      {"2.0", L"2"},
      {"true", L"true"},
      {"null", L""},
      {"{\"a\":1}", L"{\"a\":1}"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.json);
    EXPECT_EQ(ToString(Member(c.json)), c.expected);
  }
  web::json::value object = web::json::value::object();
  EXPECT_EQ(ToString(object[utilities::json::StringTOf("absent")]), L"");
}

// Each row: the JSON text, then what each number reader returns with the defaults below.
TEST(JsonReadersTest, NumberReaders) {
  constexpr int32_t kIntDefault = -99;
  constexpr uint64_t kInt64Default = 777;
  constexpr double kDoubleDefault = -1.5;
  struct Case {
    std::string json;
    int32_t as_int;
    uint64_t as_int64;
    double as_double;
  };
  const Case cases[] = {
      {"-42", -42, kInt64Default, -42.0},
      {"2.7", 2, 2, 2.7},
      {"-0.5", 0, kInt64Default, -0.5},
      {"2147483647", 2147483647, 2147483647, 2147483647.0},
      {"2147483648", kIntDefault, 2147483648u, 2147483648.0},
      {"-2147483648", std::numeric_limits<int32_t>::min(), kInt64Default, -2147483648.0},
      {"-2147483649", kIntDefault, kInt64Default, -2147483649.0},
      {"18446744073709551615", kIntDefault, 18446744073709551615u, 18446744073709551615.0},
      {"1e20", kIntDefault, kInt64Default, 1e20},
      {"true", 1, 1, 1.0},
      {"\"17\"", 17, 17, 17.0},
      {"\" 17 \"", 17, 17, 17.0},
      {"\"-3\"", -3, kInt64Default, -3.0},
      {"\"3.5\"", 3, 3, 3.5},
      {"\"1e3\"", 1000, 1000, 1000.0},
      {"\"17abc\"", kIntDefault, kInt64Default, kDoubleDefault},
      {"\"0x10\"", kIntDefault, kInt64Default, kDoubleDefault},
      {"\"nan\"", kIntDefault, kInt64Default, kDoubleDefault},
      {"\"\"", kIntDefault, kInt64Default, kDoubleDefault},
      {"null", kIntDefault, kInt64Default, kDoubleDefault},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.json);
    const web::json::value value = Member(c.json);
    EXPECT_EQ(ToInt(value, kIntDefault), c.as_int);
    EXPECT_EQ(ToInt64(value, kInt64Default), c.as_int64);
    EXPECT_DOUBLE_EQ(ToDouble(value, kDoubleDefault), c.as_double);
  }
}

TEST(JsonReadersTest, ToBoolean) {
  struct Case {
    std::string json;
    bool with_false_default;
    bool with_true_default;
  };
  const Case cases[] = {
      {"true", true, true},       {"false", false, false},  {"1", true, true},
      {"0", false, false},        {"-3", true, true},       {"0.0", false, false},
      {"0.25", true, true},       {"\"true\"", true, true}, {"\"false\"", false, false},
      {"\" true \"", true, true}, {"\"1\"", true, true},    {"\"0\"", false, false},
      {"\"yes\"", false, true},   {"\"\"", false, true},    {"null", false, true},
      {"{}", false, true},        {"[]", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.json);
    const web::json::value value = Member(c.json);
    EXPECT_EQ(ToBoolean(value, false), c.with_false_default);
    EXPECT_EQ(ToBoolean(value, true), c.with_true_default);
  }
}

}  // namespace
