// Text conversions, hashing, machine identity and the tick count. The log sink is exercised by the
// request lifecycle tests, which capture the log through it.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <chrono>
#include <cstdint>
#include <cwctype>
#include <fstream>
#include <initializer_list>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "base/os_utils.h"
#include "base/string_utils.h"

namespace {

namespace su = base::string_utils;

// Wide text made of the given code units (a surrogate on its own where wchar_t is 16-bit).
std::wstring Units(std::initializer_list<uint32_t> units) {
  std::wstring text;
  for (uint32_t unit : units) text.push_back(static_cast<wchar_t>(unit));
  return text;
}

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
      {"\x80\x80", L"\ufffd\ufffd"},                  // stray continuation bytes, one each
      {"\xf8\x88", L"\ufffd\ufffd"},                  // no such lead byte: it alone
      {"\xf0\x9f\x8e", L"\ufffd"},                    // four-byte sequence cut short
      {"\xe4\xb8\xe4\xb8\xad!", L"\ufffd\u4e2d!"},    // cut short, then a whole one
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
  std::vector<Case> cases = {
      {L"\u00e9\u4e2d\U0001F3B5", "\xc3\xa9\xe4\xb8\xad\xf0\x9f\x8e\xb5"},
      {Units({0xD800}) + L"x", "\xef\xbf\xbdx"},              // lone high
      {Units({0xDFFF}), "\xef\xbf\xbd"},                      // lone low
      {L"a" + Units({0xD83C}), "a\xef\xbf\xbd"},              // high at the end
      {Units({0xDF75, 0xD83C}), "\xef\xbf\xbd\xef\xbf\xbd"},  // a pair the wrong way round
  };
  if (sizeof(wchar_t) == 2) {
    // UTF-16: a high surrogate that a pair follows.
    cases.push_back({Units({0xD83C, 0xD83C, 0xDFB5}), "\xef\xbf\xbd\xf0\x9f\x8e\xb5"});
  } else {
    // UTF-32: surrogates never pair, and a unit can lie beyond U+10FFFF.
    cases.push_back({Units({0xD83C, 0xDFB5}), "\xef\xbf\xbd\xef\xbf\xbd"});
    cases.push_back({Units({0x110000}), "\xef\xbf\xbd"});
  }
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
      {L"abc", "abc"},
      {L"\u4e2d\u6587", "\xd6\xd0\xce\xc4"},
      {L"a\U0001F3B5b", "a?b"},  // GBK has no emoji: one "?" for the character
      {L"\u00b7", "\xa1\xa4"},
      {L"\u20ac", "\x80"},
      {L"\u00c0\u0e01", "??"},  // missing, and never replaced by a look-alike such as "A"
      {Units({0xD800}) + L"z", "?z"},
      {L"y" + Units({0xDC00}), "y?"},
  };
  for (const Case& c : to_gbk) {
    SCOPED_TRACE(testing::PrintToString(c.gbk));
    EXPECT_EQ(su::Utf16ToGBK(c.wide), c.gbk);
  }
  const Case from_gbk[] = {
      {L"\u4e2d\u6587", "\xd6\xd0\xce\xc4"},
      {L"a\ufffd", "a\x81"},  // lead byte without its second byte
      {L"\ufffdb", "\377b"},
      {L"\ufffd\x7f", "\x81\x7f"},  // lead byte with a byte that cannot follow it
      {L"\u20ac\u00b7", "\x80\xa1\xa4"},
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

// The system's own id of this machine, as the host layer reads it.
std::string RawMachineId() {
#ifdef _WIN32
  wchar_t guid[64] = {};
  DWORD size = sizeof(guid);
  if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Cryptography", L"MachineGuid",
                   RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY, nullptr, guid, &size) != ERROR_SUCCESS) {
    return {};
  }
  return su::ToUtf8(guid);
#else
  std::ifstream file("/etc/machine-id");
  std::string raw;
  std::getline(file, raw);
  return raw;
#endif
}

TEST(OsUtilsTest, MachineIdIsStableHashedAndNeverTheRawId) {
  const std::string id = su::ToUtf8(base::os_utils::GetMachineID());
  EXPECT_TRUE(std::regex_match(id, std::regex("[0-9A-F]{32}"))) << id;
  EXPECT_EQ(su::ToUtf8(base::os_utils::GetMachineID()), id);
  const std::string raw = RawMachineId();
  EXPECT_FALSE(raw.empty());
  if (!raw.empty()) {
    EXPECT_EQ(id.find(raw), std::string::npos);
    EXPECT_NE(base::os_utils::GetStringMD5(su::ToUtf16(raw), true), su::ToUtf16(id));
  }
}

TEST(OsUtilsTest, TickCountCountsMilliseconds) {
  const uint32_t before = base::os_utils::GetTickCount();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  // Unsigned: right across a wrap as well. The system's tick may be coarse (some 16 ms).
  const uint32_t elapsed = base::os_utils::GetTickCount() - before;
  EXPECT_GE(elapsed, 80u);
  EXPECT_LT(elapsed, 60'000u);  // milliseconds, not microseconds
}

}  // namespace
