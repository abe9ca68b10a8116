#include "support/request_harness.h"

#include <openssl/evp.h>

#include <atomic>
#include <memory>
#include <thread>

#include "base/string_utils.h"
#include "base/thread/ui_loop.h"
#include "support/ui_test_util.h"

namespace lumo::testing {
namespace {

class CompletionCounter : public sigslot::has_slots<> {
 public:
  void OnCompleted() { ++count_; }
  int count() const { return count_; }

 private:
  std::atomic<int> count_{0};
};

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string PercentDecode(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
        HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

template <class Finish>
int Run(lumoapi::RequestBase& request, FakeTransport& transport, Finish finish) {
  CompletionCounter counter;
  request.completed.connect(&counter, &CompletionCounter::OnCompleted);
  const size_t before = transport.Started().size();
  request.BeginRequest();
  const auto started = transport.Started();
  if (started.size() > before) {
    const auto id = started.back().id;
    std::thread network([&] { finish(id); });
    network.join();
  }
  RunUiUntil([&] { return counter.count() > 0; });
  base::thread::UiLoop::Instance().RunUntilIdle();
  return counter.count();
}

constexpr const char* kCommonNames[] = {"method", "format", "from", "version", "version_d"};

}  // namespace

int RunWithAnswer(lumoapi::RequestBase& request, FakeTransport& transport, int32_t http_status,
                  const std::string& body) {
  return Run(request, transport, [&](auto id) { transport.Answer(id, http_status, body); });
}

int RunWithFailure(lumoapi::RequestBase& request, FakeTransport& transport, int error_code) {
  return Run(request, transport,
             [&](auto id) { transport.Fail(id, error_code, "simulated transport failure"); });
}

std::string RawQuery(const std::wstring& url) {
  const std::string text = base::string_utils::ToUtf8(url);
  const size_t q = text.find('?');
  return q == std::string::npos ? std::string() : text.substr(q + 1);
}

Pairs SplitQuery(const std::string& query) {
  Pairs pairs;
  size_t start = 0;
  while (start <= query.size() && !query.empty()) {
    size_t end = query.find('&', start);
    if (end == std::string::npos) end = query.size();
    const std::string pair = query.substr(start, end - start);
    const size_t eq = pair.find('=');
    if (eq == std::string::npos) {
      pairs.emplace_back(PercentDecode(pair), "");
    } else {
      pairs.emplace_back(PercentDecode(pair.substr(0, eq)), PercentDecode(pair.substr(eq + 1)));
    }
    start = end + 1;
  }
  return pairs;
}

Pairs QueryPairs(const std::wstring& url) { return SplitQuery(RawQuery(url)); }

std::string ValueOf(const Pairs& pairs, const std::string& name) {
  for (const auto& [key, value] : pairs) {
    if (key == name) return value;
  }
  return std::string();
}

std::string Md5Hex(const std::string& bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr);
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned int i = 0; i < length; ++i) {
    out += kHex[digest[i] >> 4];
    out += kHex[digest[i] & 15];
  }
  return out;
}

std::string DecryptBase64(const std::string& base64, const std::string& key,
                          const std::string& iv) {
  if (base64.empty() || base64.size() % 4 != 0) return std::string();
  std::string cipher(base64.size() / 4 * 3, '\0');
  int decoded = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(cipher.data()),
                                reinterpret_cast<const unsigned char*>(base64.data()),
                                static_cast<int>(base64.size()));
  if (decoded < 0) return std::string();
  size_t padding = 0;
  if (base64.size() >= 1 && base64[base64.size() - 1] == '=') ++padding;
  if (base64.size() >= 2 && base64[base64.size() - 2] == '=') ++padding;
  cipher.resize(static_cast<size_t>(decoded) - padding);

  std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(),
                                                                      &EVP_CIPHER_CTX_free);
  std::string plain(cipher.size() + 16, '\0');
  int n1 = 0;
  int n2 = 0;
  if (EVP_DecryptInit_ex(ctx.get(), EVP_aes_128_cbc(), nullptr,
                         reinterpret_cast<const unsigned char*>(key.data()),
                         reinterpret_cast<const unsigned char*>(iv.data())) != 1 ||
      EVP_DecryptUpdate(ctx.get(), reinterpret_cast<unsigned char*>(plain.data()), &n1,
                        reinterpret_cast<const unsigned char*>(cipher.data()),
                        static_cast<int>(cipher.size())) != 1 ||
      EVP_DecryptFinal_ex(ctx.get(), reinterpret_cast<unsigned char*>(plain.data()) + n1, &n2) !=
          1) {
    return std::string();
  }
  plain.resize(static_cast<size_t>(n1 + n2));
  return plain;
}

std::string DecryptedInnerText(const std::wstring& url) {
  const Pairs outer = QueryPairs(url);
  const std::string timestamp = ValueOf(outer, "timestamp");
  const std::string key = Md5Hex("qorvel_amber_tune_signer_key" + timestamp).substr(8, 16);
  return DecryptBase64(ValueOf(outer, "param"), key, key);
}

Pairs OwnPairs(const std::wstring& url) {
  const Pairs outer = QueryPairs(url);
  const bool encrypted = !ValueOf(outer, "param").empty() && !ValueOf(outer, "sign").empty();
  Pairs pairs = encrypted ? SplitQuery(DecryptedInnerText(url)) : outer;
  size_t skip = 0;
  for (const char* name : kCommonNames) {
    if (skip < pairs.size() && pairs[skip].first == name) ++skip;
  }
  return Pairs(pairs.begin() + static_cast<std::ptrdiff_t>(skip), pairs.end());
}

}  // namespace lumo::testing
