// Costs of the request core that every call pays: building the address (plain and encrypted),
// encrypting a value, converting text, reading an answer, and one whole call without a network.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "aes_cipher.h"
#include "base/http/transport.h"
#include "base/os_utils.h"
#include "base/string_utils.h"
#include "base/thread/ui_loop.h"
#include "encrypt_lumoapi_param.h"
#include "lumoapi/encryption.h"
#include "lumoapi/recommend/get_recommend_songs.h"
#include "lumoapi/request_base.h"
#include "lumoapi/splash/get_splash_pic.h"
#include "lumoapi/user/report_pool.h"
#include "lumoapi/user/user_down.h"
#include "query_builder.h"
#include "utilities/json.h"

namespace {

class BenchRequest : public lumoapi::RequestBase {
 public:
  explicit BenchRequest(bool encrypted) { encrypt_params = encrypted; }

 protected:
  std::wstring GetMethodName() override { return L"norda.lumo.ugcdiy.getBaseInfo"; }
  std::wstring BuildParams() override {
    lumoapi::QueryBuilder builder;
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

// Texts of `length` characters: ASCII only (addresses, Base64, most answers) or mixed with
// Chinese characters (titles and artists).
std::wstring SampleText(int64_t length, bool ascii) {
  const std::wstring unit = ascii ? L"song title & artist 0123456789 " : L"周杰伦 - 晴天 (Live) ";
  std::wstring text;
  while (static_cast<int64_t>(text.size()) < length) text += unit;
  text.resize(static_cast<size_t>(length));
  return text;
}

void BM_WideToUtf8(benchmark::State& state) {
  const std::wstring text = SampleText(state.range(0), state.range(1) != 0);
  for (auto _ : state) benchmark::DoNotOptimize(base::string_utils::ToUtf8(text));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_WideToUtf8)->ArgNames({"chars", "ascii"})->ArgsProduct({{64, 4096}, {1, 0}});

void BM_Utf8ToWide(benchmark::State& state) {
  const std::string text = base::string_utils::ToUtf8(SampleText(state.range(0), state.range(1)));
  for (auto _ : state) benchmark::DoNotOptimize(base::string_utils::ToUtf16(text));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Utf8ToWide)->ArgNames({"chars", "ascii"})->ArgsProduct({{64, 4096}, {1, 0}});

void BM_GetStringMD5(benchmark::State& state) {
  const std::wstring text = SampleText(64, true);
  for (auto _ : state) benchmark::DoNotOptimize(base::os_utils::GetStringMD5(text, false));
}
BENCHMARK(BM_GetStringMD5);

// Answers every exchange at once, on the calling thread, when the benchmark says so.
class InstantTransport : public base::http::Transport {
 public:
  ExchangeId Start(base::http::TransportRequest, base::http::TransportCallback done) override {
    done_ = std::move(done);
    return ++last_id_;
  }
  void Cancel(ExchangeId) override {}

  void Answer(const std::string& body) {
    base::http::TransportResult result;
    result.ok = true;
    result.status = 200;
    result.body = body;
    std::exchange(done_, nullptr)(std::move(result));
  }

 private:
  base::http::TransportCallback done_;
  ExchangeId last_id_ = 0;
};

std::string RecommendAnswer(int songs) {
  std::string body = R"({"error_code":22000,"result":{"list":[)";
  for (int i = 0; i < songs; ++i) {
    const std::string id = std::to_string(2000 + i);
    if (i > 0) body += ",";
    body += R"({"song_id":")" + id + R"(","title":"晴天 )" + id +
            R"(","author":"周杰伦","artist_id":"7994","album_title":"叶惠美","album_id":"67",)"
            R"("pic_huge":"","pic_premium":"http://img.lumo.example/pic/)" +
            id + R"(_500.jpg","pic_big":"http://img.lumo.example/pic/)" + id +
            R"(_150.jpg","pic_small":"http://img.lumo.example/pic/)" + id +
            R"(_90.jpg","has_mv":1})";
  }
  return body + "]}}";
}

// One call from construction to `completed`, with the answer handed over at once instead of
// travelling over a network: address, transport request, body conversion, JSON parse,
// ParseResult. Arg 0: the splash picture (a tiny answer); arg 1: 20 recommended songs.
void BM_RequestRoundTrip(benchmark::State& state) {
  base::thread::UiLoop::Instance().BindToCurrentThread();
  auto transport = std::make_shared<InstantTransport>();
  base::http::SetTransport(transport);
  const bool recommend = state.range(0) == 1;
  const std::string body =
      recommend ? RecommendAnswer(20)
                : R"({"error_code":22000,"result":[{"pic":"http://img.lumo.example/splash/)"
                  R"(spring.jpg","link":"http://www.lumo.example/spring"}]})";
  int64_t succeeded = 0;
  for (auto _ : state) {
    std::unique_ptr<lumoapi::RequestBase> request;
    if (recommend) {
      request = std::make_unique<lumoapi::recommend::GetRecommendSongs>(L"1001");
    } else {
      request = std::make_unique<lumoapi::splash::GetSplashPic>();
    }
    request->BeginRequest();
    transport->Answer(body);
    succeeded += request->succeeded ? 1 : 0;
  }
  base::http::SetTransport(nullptr);
  if (succeeded != state.iterations()) state.SkipWithError("a call did not succeed");
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(body.size()));
}
BENCHMARK(BM_RequestRoundTrip)->ArgName("recommend")->Arg(0)->Arg(1);

// Keeps every exchange until the benchmark answers them all at once.
class HeldTransport : public base::http::Transport {
 public:
  ExchangeId Start(base::http::TransportRequest, base::http::TransportCallback done) override {
    held_.push_back(std::move(done));
    return held_.size();
  }
  void Cancel(ExchangeId) override {}

  void AnswerAll(const std::string& body) {
    std::vector<base::http::TransportCallback> held;
    held.swap(held_);
    for (base::http::TransportCallback& done : held) {
      base::http::TransportResult result;
      result.ok = true;
      result.status = 200;
      result.body = body;
      done(std::move(result));
    }
  }

 private:
  std::vector<base::http::TransportCallback> held_;
};

// A burst of reports handed to the pool, all answered, and the pool's clean-ups run until every
// report is deleted: adding, answering and sweeping, per report.
void BM_ReportPoolBurst(benchmark::State& state) {
  base::thread::UiLoop::Instance().BindToCurrentThread();
  auto transport = std::make_shared<HeldTransport>();
  base::http::SetTransport(transport);
  auto& pool = lumoapi::user::ReportPool::Instance();
  const int64_t reports = state.range(0);
  for (auto _ : state) {
    for (int64_t i = 0; i < reports; ++i) {
      pool.AddReport(std::make_unique<lumoapi::user::UserDown>(
          std::vector<std::wstring>{L"1001", std::to_wstring(i)}, L"7"));
    }
    transport->AnswerAll(R"({"error_code":22000})");
    base::thread::UiLoop::Instance().RunUntilIdle();
  }
  pool.Uninit();
  base::http::SetTransport(nullptr);
  state.SetItemsProcessed(state.iterations() * reports);
}
BENCHMARK(BM_ReportPoolBurst)->Arg(10'000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
