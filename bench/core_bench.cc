// Costs of the request core that every call pays: building the address (plain and encrypted),
// encrypting a value, reading an answer.
#include <benchmark/benchmark.h>

#include <string>

#include "aes_cipher.h"
#include "encrypt_lumoapi_param.h"
#include "lumoapi/encryption.h"
#include "lumoapi/request_base.h"
#include "query_builder.h"
#include "utilities/json.h"

namespace {

class BenchRequest : public lumoapi::RequestBase {
 public:
  explicit BenchRequest(bool encrypted) { encrypt_params = encrypted; }

 protected:
  std::wstring GetMethodName() override { return L"norda.lumo.ugcdiy.getBaseInfo"; }
  std::wstring BuildParams() override {
    web::uri_builder builder;
    lumoapi::AppendPair(builder, L"uid", 123456789);
    lumoapi::AppendPair(builder, L"list_id", L"987654321");
    lumoapi::AppendPair(builder, L"offset", 0);
    lumoapi::AppendPair(builder, L"size", 100);
    lumoapi::AppendPair(builder, L"title", L"Simon & Garfunkel 周杰伦");
    return lumoapi::QueryText(builder);
  }
  void ParseResult(web::json::value&) override {}
};

void BM_BuildUrlPlain(benchmark::State& state) {
  BenchRequest request(false);
  for (auto _ : state) benchmark::DoNotOptimize(request.BuildUrl());
}
BENCHMARK(BM_BuildUrlPlain);

void BM_BuildUrlEncrypted(benchmark::State& state) {
  BenchRequest request(true);
  for (auto _ : state) benchmark::DoNotOptimize(request.BuildUrl());
}
BENCHMARK(BM_BuildUrlEncrypted);

void BM_EncryptText(benchmark::State& state) {
  const auto& encryption = lumoapi::encryption::LumoAPIEncryption::Instance();
  const std::wstring text(static_cast<size_t>(state.range(0)), L'x');
  for (auto _ : state) benchmark::DoNotOptimize(encryption.EncryptText(text));
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_EncryptText)->Arg(16)->Arg(256)->Arg(4096);

void BM_ParseAndReadSongList(benchmark::State& state) {
  std::string body = R"({"error_code":22000,"result":{"songs":[)";
  for (int i = 0; i < state.range(0); ++i) {
    if (i > 0) body += ",";
    body += R"({"song_id":")" + std::to_string(1000 + i) +
            R"(","title":"Song title","author":"Artist & Band","file_duration":241,)"
            R"("pic_big":"http://img.example/a.jpg","has_mv":1})";
  }
  body += "]}}";
  for (auto _ : state) {
    web::json::value answer = web::json::value::parse(body);
    size_t total = 0;
    for (const auto& song : answer.at("result").at("songs").as_array()) {
      total += utilities::json::ToString(song.at("title")).size();
      total += static_cast<size_t>(utilities::json::ToInt(song.at("file_duration"), 0));
    }
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(body.size()));
}
BENCHMARK(BM_ParseAndReadSongList)->Arg(10)->Arg(100)->Arg(1000);

}  // namespace

BENCHMARK_MAIN();
