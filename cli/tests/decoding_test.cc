// The tool's own readings, checked against sources that do not share its code: addresses built
// and encrypted by the library, and digests of whole strings for the file slices.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "address.h"
#include "base/string_utils.h"
#include "file_digest.h"
#include "lumoapi/request_base.h"

namespace lumo::cli {
namespace {

// A request in the encrypted, signed address form, whatever its method.
class EncryptedRequest : public lumoapi::RequestBase {
 public:
  EncryptedRequest() { encrypt_params = true; }

 protected:
  std::wstring GetMethodName() override { return L"norda.lumo.ugcdiy.addSongList"; }
  std::wstring BuildParams() override { return L"title=%E4%B8%AD%20%26%20x&process=1"; }
  void ParseResult(web::json::value&) override {}
};

TEST(AddressDecodingTest, DecryptsTheSignedFormWithTheKeyOfItsTimestamp) {
  EncryptedRequest request;
  const std::optional<InnerText> inner =
      DecryptInnerText(base::string_utils::ToUtf8(request.BuildUrl()));
  ASSERT_TRUE(inner);
  EXPECT_EQ(inner->parameter, "param");
  EXPECT_EQ(inner->text,
            "format=json&from=qxpc&version=1.0.0&version_d=10.1.1.1"
            "&title=%E4%B8%AD%20%26%20x&process=1");
}

TEST(AddressDecodingTest, ReadsQueriesAndRefusesWhatDoesNotDecrypt) {
  EXPECT_EQ(SplitQuery("http://h/p?a=1+2%2B3&b=&c&=d"),
            (QueryPairs{{"a", "1+2+3"}, {"b", ""}, {"c", ""}, {"", "d"}}));
  struct Case {
    const char* url;
    const char* parameter;
  };
  const Case undecryptable[] = {
      {"http://h/p?method=m&timestamp=1&param=bm90IGFlcw%3D%3D&sign=s", "param"},  // not AES
      {"http://h/p?method=m&timestamp=1&param=%25%25&sign=s", "param"},            // not Base64
      {"http://h/p?method=m&query=x&e=", "e"},
  };
  for (const Case& c : undecryptable) {
    SCOPED_TRACE(c.url);
    const std::optional<InnerText> inner = DecryptInnerText(c.url);
    ASSERT_TRUE(inner);
    EXPECT_EQ(inner->parameter, c.parameter);
    EXPECT_EQ(inner->text, "");
  }
}

TEST(FileDigestTest, SliceIsTheFileStartWhateverTheFileSize) {
  char pattern[] = "/tmp/lumo_digest_test.XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::filesystem::path dir = pattern;
  const std::string path = (dir / "song.flac").string();
  for (uint64_t size : {uint64_t{0}, uint64_t{1}, kSliceBytes - 1, kSliceBytes, kSliceBytes + 1,
                        3 * kSliceBytes + 5}) {
    SCOPED_TRACE(size);
    std::string bytes(size, '\0');
    for (uint64_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 % 251);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    std::string error;
    const std::optional<FileDigest> digest = DigestFile(path, &error);
    ASSERT_TRUE(digest) << error;
    EXPECT_EQ(digest->size, size);
    EXPECT_EQ(digest->md5, Md5Hex(bytes));
    EXPECT_EQ(digest->slice_md5, Md5Hex(bytes.substr(0, kSliceBytes)));
    EXPECT_EQ(digest->ext, "flac");
  }
  EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace lumo::cli
