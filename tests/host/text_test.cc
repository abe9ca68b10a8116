// Text conversions, hashing and machine identity. The log sink is exercised by the request
// lifecycle tests, which capture the log through it.
#include <gtest/gtest.h>

#include <cwctype>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "base/os_utils.h"
#include "base/string_utils.h"

namespace {

namespace su = base::string_utils;

TEST(StringUtilsTest, Utf8ToWideReplacesEveryMalformedSequence) {
  struct Case {
    std::string utf8;
    std::wstring wide;
  };
  const Case cases[] = {
      {"plain ascii", L"plain ascii"},
      {"\xe4\xb8\xad\xe6\x96\x87", L"\u4e2d\u6587"},
      {"\xf0\x9f\x8e\xb5 note", L"\U0001F3B5 note"},  // beyond the BMP
      {"a\377b", L"a\ufffdb"},                        // byte that never starts a sequence
      {"a\200b", L"a\ufffdb"},                        // stray continuation byte
      {"\xe4\xb8", L"\ufffd"},                        // truncated at the end
      {"\344\270x", L"\ufffdx"},                      // truncated in the middle
      {"\xc0\xaf", L"\ufffd"},                        // overlong "/"
      {"\xed\xa0\x80", L"\ufffd"},                    // encoded surrogate
      {"\xf4\x90\x80\x80", L"\ufffd"},                // beyond U+10FFFF
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.utf8));
    EXPECT_EQ(su::ToUtf16(c.utf8), c.wide);
  }
}

TEST(StringUtilsTest, WideToUtf8ReplacesInvalidCodePoints) {
  struct Case {
    std::wstring wide;
    std::string utf8;
  };
  const Case cases[] = {
      {L"\u00e9\u4e2d\U0001F3B5", "\xc3\xa9\xe4\xb8\xad\xf0\x9f\x8e\xb5"},
      {std::wstring(1, static_cast<wchar_t>(0xD800)) + L"x", "\xef\xbf\xbdx"},  // lone high
      {std::wstring(1, static_cast<wchar_t>(0xDFFF)), "\xef\xbf\xbd"},          // lone low
      {std::wstring(1, static_cast<wchar_t>(0x110000)), "\xef\xbf\xbd"},        // out of range
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.utf8));
    EXPECT_EQ(su::ToUtf8(c.wide), c.utf8);
    EXPECT_EQ(su::Utf16ToUtf8(c.wide), c.utf8);
  }
}

TEST(StringUtilsTest, GbkConversions) {
  struct Case {
    std::wstring wide;
    std::string gbk;
  };
  const Case to_gbk[] = {
      {L"abc", "abc"},          {L"\u4e2d\u6587", "\xd6\xd0\xce\xc4"},
      {L"a\U0001F3B5b", "a?b"},  // GBK has no emoji
      {L"\u00b7", "\xa1\xa4"},  {std::wstring(1, static_cast<wchar_t>(0xD800)) + L"z", "?z"},
  };
  for (const Case& c : to_gbk) {
    SCOPED_TRACE(testing::PrintToString(c.gbk));
    EXPECT_EQ(su::Utf16ToGBK(c.wide), c.gbk);
  }
  const Case from_gbk[] = {
      {L"\u4e2d\u6587", "\xd6\xd0\xce\xc4"},
      {L"a\ufffd", "a\x81"},  // lead byte without its second byte
      {L"\ufffdb", "\377b"},
  };
  for (const Case& c : from_gbk) {
    SCOPED_TRACE(testing::PrintToString(c.gbk));
    EXPECT_EQ(su::GBKToUtf16(c.gbk), c.wide);
  }
}

TEST(OsUtilsTest, Md5MatchesTheReferenceVectorsInBothCases) {
  struct Case {
    std::wstring text;
    std::wstring lower;
  };
  const Case cases[] = {
      {L"", L"d41d8cd98f00b204e9800998ecf8427e"},
      {L"a", L"0cc175b9c0f1b6a831c399e269772661"},
      {L"abc", L"900150983cd24fb0d6963f7d28e17f72"},
      {L"message digest", L"f96b697d7cb7938d525a2f31aaf161d0"},
      {L"abcdefghijklmnopqrstuvwxyz", L"c3fcd3d76192e4007dfb496cca67e13b"},
      {L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       L"d174ab98d277d9f5a5611c2c9f419d9f"},
      {L"1234567890123456789012345678901234567890123456789012345678901234567890123456789"
       L"0",
       L"57edf4a22be3c955ac49da2e2107b67a"},
      {L"\u4e2d\u6587", L"a7bac2239fcdcb3a067903d8077c4a07"},  // hashed as UTF-8
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(su::ToUtf8(c.text));
    EXPECT_EQ(base::os_utils::GetStringMD5(c.text, false), c.lower);
    std::wstring upper = c.lower;
    for (wchar_t& ch : upper) ch = static_cast<wchar_t>(std::towupper(ch));
    EXPECT_EQ(base::os_utils::GetStringMD5(c.text, true), upper);
  }
}

TEST(OsUtilsTest, MachineIdIsStableHashedAndNeverTheRawId) {
  const std::string id = su::ToUtf8(base::os_utils::GetMachineID());
  EXPECT_TRUE(std::regex_match(id, std::regex("[0-9A-F]{32}"))) << id;
  EXPECT_EQ(su::ToUtf8(base::os_utils::GetMachineID()), id);
  std::ifstream file("/etc/machine-id");
  std::string raw;
  if (std::getline(file, raw) && !raw.empty()) {
    EXPECT_EQ(id.find(raw), std::string::npos);
    EXPECT_NE(base::os_utils::GetStringMD5(su::ToUtf16(raw), true), su::ToUtf16(id));
  }
}

}  // namespace
