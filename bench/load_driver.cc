// lumo_load_driver: loopback load through the library and through the clients a host could
// write instead, at the same concurrency, with the same addresses and the same headers, so that
// the difference between them is what the library costs.
//
//   library   real request objects through the whole stack: BeginRequest on the UI thread, the
//             libcurl network thread, ParseResult, `completed`; the main thread runs the UI loop,
//             and each completion posts the next BeginRequest to it, keeping C calls in flight.
//   raw       one thread driving libcurl's multi interface: the same GETs (address and headers
//             taken from what the library hands its transport), the same limit of 16 connections
//             per host, keep-alive, easy handles reused. Small answers are collected and not
//             parsed; pages are parsed with the same JSON parser the library uses.
//   cpprest   the URI library's own http_client in its default configuration, the same GETs, the
//             answer read with extract_json; the calls in flight are chains of its tasks.
//   cpprest2  the same with the task scheduler's pool set to 2 threads.
//   wrk       the wire limit: wrk with one thread and C connections, the same address.
//
// Scenarios: "load" (the modes above at each concurrency), "burst" (all --requests calls started
// at once, every request object kept until the last has ended: the memory of that many calls in
// flight) and "paging" (a gathering task over every page of a big collection, against the same
// pages fetched one after another by raw GETs, parsed).
//
// Every run happens in a process of its own, forked from a parent that starts no threads, so the
// CPU time (getrusage) and the peak RSS (VmHWM) reported are the client's alone. Unless
// --connect-to names a running server, the sandbox is started from the linked sandbox library in
// another forked process, and its CPU time per request is reported too (--server-pid does that
// for a server started elsewhere). Each run stops by itself after --time-limit seconds, finished
// or not. Traffic goes to the loopback address given, nowhere else: the library's service host is
// routed there, and no host name is looked up.

// libcurl's header before cpprest's: under clang, cpprest defines `dllimport` as a macro, which
// breaks a test in curl.h.
#include <curl/curl.h>

#include <cpprest/http_client.h>
#include <cpprest/json.h>
#include <poll.h>
#include <pplx/threadpool.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <CLI/CLI.hpp>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "base/http/transport.h"
#include "base/thread/ui_loop.h"
#include "lumoapi/diy/get_all_playlist_songs.h"
#include "lumoapi/diy/get_playlist.h"
#include "lumoapi/favorite/get_all_favorite_songs.h"
#include "lumoapi/favorite/get_favorite_song.h"
#include "lumoapi/request_base.h"
#include "lumoapi/search/catalog_sug.h"
#include "lumoapi/splash/get_splash_pic.h"
#include "sandbox/server.h"

namespace {

using Clock = std::chrono::steady_clock;

// The same cap as the library's transport; further transfers queue for a free connection.
constexpr long kMaxHostConnections = 16;
constexpr int kMaxTimeLimitSeconds = 60;

// The big seed user's song list of 500 songs, and the page sizes the library's tasks ask for.
constexpr wchar_t kBigListId[] = L"300156";
constexpr unsigned kListPageSize = 100;
constexpr unsigned kFavoritePageSize = 50;

std::wstring BigUserToken() {
  const std::string token = lumo::sandbox::kBigUserToken;
  return std::wstring(token.begin(), token.end());
}

// The song lists' tag directory: a call in the encrypted and signed address form whose answer is
// small and needs no session. Its "hot" count is all the driver reads.
class ChannelList : public lumoapi::RequestBase {
 public:
  ChannelList() { encrypt_params = true; }
  ~ChannelList() override { StopHttpRequest(); }
  ChannelList(const ChannelList&) = delete;
  ChannelList& operator=(const ChannelList&) = delete;

  size_t hot_tags = 0;

 protected:
  std::wstring GetMethodName() override { return L"norda.lumo.ugcdiy.getChannels"; }
  std::wstring BuildParams() override { return std::wstring(); }
  void ParseResult(web::json::value& answer) override {
    const web::json::value& hot = answer.at("result").at("hot");
    hot_tags = hot.is_array() ? hot.size() : 0;
  }
};

struct MethodChoice {
  const char* name;
  const char* description;
  bool page;         // a page of songs: the raw client parses it too
  bool canned_only;  // answered by the canned server only (the session token picks the body)
  std::function<std::unique_ptr<lumoapi::RequestBase>()> make;
};

std::unique_ptr<lumoapi::RequestBase> MakeListPage(const std::wstring& token) {
  return std::make_unique<lumoapi::diy::GetPlayList>(token, kBigListId, 0, kListPageSize);
}

const std::vector<MethodChoice>& Methods() {
  static const std::vector<MethodChoice> methods = {
      {"splash", "GetSplashPic, norda.lumo.active.startPC, plain form", false, false,
       [] { return std::make_unique<lumoapi::splash::GetSplashPic>(); }},
      {"suggest", "CatalogSug(\"love\"), norda.lumo.search.catalogSug, plain form", false, false,
       [] { return std::make_unique<lumoapi::search::CatalogSug>(L"love"); }},
      {"channels", "getChannels, norda.lumo.ugcdiy.getChannels, encrypted form", false, false,
       [] { return std::make_unique<ChannelList>(); }},
      {"list", "GetPlayList, norda.lumo.ugcdiy.getBaseInfo, encrypted form, 100 songs", true, false,
       [] { return MakeListPage(BigUserToken()); }},
      {"list10", "the list page call answered with 10 songs", true, true,
       [] { return MakeListPage(L"bench-list10"); }},
      {"list1000", "the list page call answered with 1,000 songs", true, true,
       [] { return MakeListPage(L"bench-list1000"); }},
      {"fav", "GetFavoriteSong, norda.lumo.favorite.getFavoriteSong, plain form, 50 songs", true,
       false,
       [] {
         return std::make_unique<lumoapi::favorite::GetFavoriteSong>(BigUserToken(), 0,
                                                                     kFavoritePageSize);
       }},
  };
  return methods;
}

const MethodChoice* FindMethod(const std::string& name) {
  for (const MethodChoice& method : Methods()) {
    if (name == method.name) return &method;
  }
  return nullptr;
}

struct Settings {
  const MethodChoice* method = nullptr;
  std::string scenario = "load";
  std::string task = "fav";  // the paging scenario's task: "fav" or "list"
  int64_t requests = 20000;
  int64_t warmup = 500;
  int time_limit_s = 30;
  int wrk_seconds = 5;
  std::string target;          // "127.0.0.1:PORT"
  std::string server;          // "sandbox" or "nginx"
  pid_t server_pid = 0;        // 0: not known, its CPU time is not reported
  bool keep_finished = false;  // burst: every request object lives until the run's end
};

// What one run measured; written by the run's process to its parent as raw bytes.
struct RunResult {
  char mode[16] = {};
  int concurrency = 0;
  int64_t completed = 0;  // measured calls that ended, successfully or not
  int64_t failed = 0;     // of those, the calls that did not succeed
  bool timed_out = false;
  double wall_s = 0;
  double p50_us = 0;
  double p99_us = 0;
  double client_cpu_s = 0;       // user + system
  int64_t context_switches = 0;  // the client's, voluntary and involuntary
  double server_cpu_s = -1;      // negative: unknown
  int64_t base_rss_kb = 0;       // RSS after the warm-up, before the measured calls
  int64_t peak_rss_kb = 0;
  bool peak_rss_reset = false;  // VmHWM was reset after the warm-up
  double pages = 0;             // paging: pages fetched per task
  double items = 0;             // paging: songs gathered per task
};

// ---- Measuring ----------------------------------------------------------------------------

rusage ProcessUsage() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage;
}

double Seconds(const timeval& t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

double CpuSeconds(const rusage& usage) { return Seconds(usage.ru_utime) + Seconds(usage.ru_stime); }

// User + system time of another process, from /proc; negative when unknown.
double OtherProcessCpuSeconds(pid_t pid) {
  if (pid <= 0) return -1;
  std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  // The command name may hold spaces; the fields that follow start after its ")".
  const size_t close = stat.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(stat.substr(close + 2));
  std::string field;
  unsigned long long utime = 0;
  unsigned long long stime = 0;
  // Fields 3..13 come first; utime and stime are fields 14 and 15.
  for (int i = 3; i <= 13; ++i) fields >> field;
  fields >> utime >> stime;
  if (!fields) return -1;
  return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

bool ResetPeakRss() {
  std::ofstream clear_refs("/proc/self/clear_refs");
  clear_refs << "5";
  clear_refs.flush();
  return static_cast<bool>(clear_refs);
}

// A "VmXXX:" line of /proc/self/status, in KiB.
int64_t StatusKb(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const size_t length = std::strlen(key);
  while (std::getline(status, line)) {
    if (line.compare(0, length, key) == 0) return std::stoll(line.substr(length));
  }
  return 0;
}

// Latencies of the measured calls in microseconds, one slot per call; negative until it ends.
class Latencies {
 public:
  explicit Latencies(int64_t count) : slots_(static_cast<size_t>(count), -1.0) {}

  // Any thread; each slot is written once, before the run's end is observed.
  void Record(int64_t index, Clock::duration elapsed) {
    slots_[static_cast<size_t>(index)] = std::chrono::duration<double, std::micro>(elapsed).count();
  }

  void Summarize(RunResult& result) const {
    std::vector<double> done;
    done.reserve(slots_.size());
    for (double us : slots_) {
      if (us >= 0) done.push_back(us);
    }
    if (done.empty()) return;
    std::sort(done.begin(), done.end());
    auto at = [&](double q) {
      return done[static_cast<size_t>(std::lround(q * static_cast<double>(done.size() - 1)))];
    };
    result.p50_us = at(0.50);
    result.p99_us = at(0.99);
  }

 private:
  std::vector<double> slots_;
};

// Runs the warm-up calls of `load` and then the measured ones, and fills `result` with what the
// measured ones took. Both stop at the run's time limit.
template <class Load>
void Measure(Load& load, const Settings& settings, RunResult& result) {
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(settings.time_limit_s);
  if (!load.Run(settings.warmup, nullptr, deadline)) {
    result.timed_out = true;
    return;
  }
  result.peak_rss_reset = ResetPeakRss();
  result.base_rss_kb = StatusKb("VmRSS:");
  Latencies latencies(settings.requests);
  const double server_cpu = OtherProcessCpuSeconds(settings.server_pid);
  const rusage before = ProcessUsage();
  const Clock::time_point start = Clock::now();
  result.timed_out = !load.Run(settings.requests, &latencies, deadline);
  result.wall_s = std::chrono::duration<double>(Clock::now() - start).count();
  const rusage after = ProcessUsage();
  result.client_cpu_s = CpuSeconds(after) - CpuSeconds(before);
  result.context_switches =
      (after.ru_nvcsw + after.ru_nivcsw) - (before.ru_nvcsw + before.ru_nivcsw);
  if (server_cpu >= 0) {
    result.server_cpu_s = OtherProcessCpuSeconds(settings.server_pid) - server_cpu;
  }
  result.completed = load.ended();
  result.failed = load.failed();
  latencies.Summarize(result);
}

// ---- What the library sends ---------------------------------------------------------------

// A transport that keeps the first exchange it is given and never answers.
class CaptureTransport : public base::http::Transport {
 public:
  ExchangeId Start(base::http::TransportRequest request, base::http::TransportCallback) override {
    if (!captured) captured = std::move(request);
    return 1;
  }
  void Cancel(ExchangeId) override {}

  std::optional<base::http::TransportRequest> captured;
};

// The address and headers that one BeginRequest of `request` hands to the transport.
// REQUIRES: the calling thread is the UI thread.
base::http::TransportRequest CaptureRequest(lumoapi::RequestBase& request) {
  auto capture = std::make_shared<CaptureTransport>();
  base::http::SetTransport(capture);
  request.BeginRequest();
  base::http::SetTransport(nullptr);
  if (!capture->captured) {
    std::fprintf(stderr, "lumo_load_driver: the request sent nothing\n");
    std::exit(1);
  }
  return *capture->captured;
}

base::http::TransportRequest CaptureRequest(const MethodChoice& method) {
  std::unique_ptr<lumoapi::RequestBase> request = method.make();
  return CaptureRequest(*request);
}

// Parts of an http address: "host:port" (with the scheme's port when the address names none)
// and the path with its query.
struct AddressParts {
  std::string host_port;
  std::string path_and_query;
};

AddressParts PartsOf(const std::string& url) {
  CURLU* parsed = curl_url();
  char* host = nullptr;
  char* port = nullptr;
  char* path = nullptr;
  char* query = nullptr;
  AddressParts parts;
  if (curl_url_set(parsed, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
      curl_url_get(parsed, CURLUPART_HOST, &host, 0) == CURLUE_OK &&
      curl_url_get(parsed, CURLUPART_PORT, &port, CURLU_DEFAULT_PORT) == CURLUE_OK &&
      curl_url_get(parsed, CURLUPART_PATH, &path, 0) == CURLUE_OK) {
    parts.host_port = std::string(host) + ":" + port;
    parts.path_and_query = path;
    if (curl_url_get(parsed, CURLUPART_QUERY, &query, 0) == CURLUE_OK) {
      parts.path_and_query += std::string("?") + query;
    }
  }
  curl_free(host);
  curl_free(port);
  curl_free(path);
  curl_free(query);
  curl_url_cleanup(parsed);
  return parts;
}

std::string HeaderLine(const std::pair<std::string, std::string>& header) {
  return header.second.empty() ? header.first + ";" : header.first + ": " + header.second;
}

// An easy handle that sends `request` to `connect_to` ("host:port:127.0.0.1:port"), with the
// options both raw clients share. The lists stay owned by the caller.
void SetRawOptions(CURL* easy, const std::string& url, curl_slist* headers,
                   curl_slist* connect_to) {
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(easy, CURLOPT_CONNECT_TO, connect_to);
  curl_easy_setopt(easy, CURLOPT_NOPROXY, "*");
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, 10'000L);
  curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, 30'000L);
}

size_t AppendBody(char* data, size_t size, size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

curl_slist* HeaderList(const base::http::TransportRequest& request) {
  curl_slist* headers = nullptr;
  for (const auto& header : request.headers) {
    headers = curl_slist_append(headers, HeaderLine(header).c_str());
  }
  return headers;
}

// One blocking GET of `request` through `easy`; the body of a 200 answer, or nothing.
std::optional<std::string> FetchOnce(CURL* easy, const base::http::TransportRequest& request,
                                     curl_slist* connect_to) {
  curl_slist* headers = HeaderList(request);
  std::string body;
  SetRawOptions(easy, request.url, headers, connect_to);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &AppendBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
  const CURLcode code = curl_easy_perform(easy);
  long status = 0;
  curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
  curl_slist_free_all(headers);
  if (code != CURLE_OK || status != 200) return std::nullopt;
  return body;
}

// ---- library mode -------------------------------------------------------------------------

// Keeps `concurrency` calls in flight through real request objects. UI thread only, apart from
// OnCompleted, which runs wherever `completed` is emitted.
class LibraryLoad {
 public:
  LibraryLoad(const MethodChoice& method, int64_t concurrency, bool keep_finished)
      : method_(method), keep_finished_(keep_finished) {
    lanes_.reserve(static_cast<size_t>(concurrency));
    for (int64_t i = 0; i < concurrency; ++i) lanes_.push_back(std::make_unique<Lane>(this));
  }

  // Issues `count` calls and returns once they have all ended or `deadline` has passed
  // (returns false then; the calls still in flight are cancelled).
  bool Run(int64_t count, Latencies* latencies, Clock::time_point deadline) {
    total_ = count;
    next_ = 0;
    ended_ = 0;
    failed_ = 0;
    latencies_ = latencies;
    for (auto& lane : lanes_) StartNext(*lane);
    auto& loop = base::thread::UiLoop::Instance();
    const bool finished =
        loop.RunUntil([this] { return ended_.load() == total_; },
                      std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::max(Clock::duration::zero(), deadline - Clock::now())));
    for (auto& lane : lanes_) {
      // Deleted through the member, which stays set until the destructor has waited out a
      // completion that is still reading it on the network thread (after a time-out).
      delete lane->request.get();
      (void)lane->request.release();
    }
    // Completions posted before the requests were deleted find an empty lane and do nothing.
    loop.RunUntilIdle();
    return finished;
  }

  int64_t ended() const { return ended_.load(); }
  int64_t failed() const { return failed_.load(); }

 private:
  struct Lane : sigslot::has_slots<> {
    explicit Lane(LibraryLoad* owner) : owner(owner) {}
    void OnCompleted() { owner->OnCompleted(*this); }

    LibraryLoad* owner;
    std::unique_ptr<lumoapi::RequestBase> request;
    int64_t index = 0;
    Clock::time_point started;
  };

  void StartNext(Lane& lane) {
    if (next_ >= total_) {
      if (!keep_finished_) lane.request.reset();
      return;
    }
    lane.request.reset();
    lane.index = next_++;
    lane.request = method_.make();
    lane.request->completed.connect(&lane, &Lane::OnCompleted);
    lane.started = Clock::now();
    lane.request->BeginRequest();
  }

  // On the network thread (answer parsed) or the UI thread (failure).
  void OnCompleted(Lane& lane) {
    if (latencies_) latencies_->Record(lane.index, Clock::now() - lane.started);
    if (!lane.request->succeeded) ++failed_;
    // The next call starts on the UI thread, as a host's would.
    base::thread::UiLoop::Instance().Post([this, &lane] {
      if (lane.request) StartNext(lane);
    });
    ++ended_;
  }

  const MethodChoice& method_;
  const bool keep_finished_;
  std::vector<std::unique_ptr<Lane>> lanes_;
  int64_t total_ = 0;  // UI thread
  int64_t next_ = 0;   // UI thread
  std::atomic<int64_t> ended_{0};
  std::atomic<int64_t> failed_{0};
  Latencies* latencies_ = nullptr;
};

// Points the library's service host at the target and binds the UI loop to this thread.
void PrepareLibrary(const Settings& settings) {
  base::thread::UiLoop::Instance().BindToCurrentThread();
  const base::http::TransportRequest sample = CaptureRequest(*settings.method);
  base::http::SetConnectTo(PartsOf(sample.url).host_port, settings.target);
}

RunResult RunLibrary(const Settings& settings, int64_t concurrency) {
  RunResult result;
  PrepareLibrary(settings);
  LibraryLoad load(*settings.method, concurrency, settings.keep_finished);
  Measure(load, settings, result);
  return result;
}

// ---- raw mode -----------------------------------------------------------------------------

// Whether a page answer parses as JSON; the parse is the point, the value is dropped.
bool ParsesAsJson(const std::string& body) {
  try {
    const web::json::value answer = web::json::value::parse(body);
    return !answer.is_null();
  } catch (const std::exception&) {
    return false;
  }
}

// One thread, one multi handle, one reused easy handle per call in flight.
class RawLoad {
 public:
  RawLoad(const base::http::TransportRequest& request, const std::string& connect_to,
          int64_t concurrency, bool parse)
      : multi_(curl_multi_init()), parse_(parse) {
    curl_multi_setopt(multi_, CURLMOPT_MAX_HOST_CONNECTIONS, kMaxHostConnections);
    headers_ = HeaderList(request);
    connect_to_ = curl_slist_append(nullptr, connect_to.c_str());
    lanes_.resize(static_cast<size_t>(concurrency));
    for (Lane& lane : lanes_) {
      lane.easy = curl_easy_init();
      SetRawOptions(lane.easy, request.url, headers_, connect_to_);
      curl_easy_setopt(lane.easy, CURLOPT_WRITEFUNCTION, &AppendBody);
      curl_easy_setopt(lane.easy, CURLOPT_WRITEDATA, &lane.body);
      curl_easy_setopt(lane.easy, CURLOPT_PRIVATE, &lane);
    }
  }

  ~RawLoad() {
    for (Lane& lane : lanes_) {
      if (lane.busy) curl_multi_remove_handle(multi_, lane.easy);
      curl_easy_cleanup(lane.easy);
    }
    curl_multi_cleanup(multi_);
    curl_slist_free_all(headers_);
    curl_slist_free_all(connect_to_);
  }

  RawLoad(const RawLoad&) = delete;
  RawLoad& operator=(const RawLoad&) = delete;

  bool Run(int64_t count, Latencies* latencies, Clock::time_point deadline) {
    total_ = count;
    next_ = 0;
    ended_ = 0;
    failed_ = 0;
    for (Lane& lane : lanes_) StartNext(lane);
    while (ended_ < total_) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) break;
      int running = 0;
      curl_multi_perform(multi_, &running);
      int queued = 0;
      while (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
        if (message->msg != CURLMSG_DONE) continue;
        const CURLcode code = message->data.result;
        Lane* lane = nullptr;
        curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &lane);
        long status = 0;
        curl_easy_getinfo(lane->easy, CURLINFO_RESPONSE_CODE, &status);
        bool ok = code == CURLE_OK && status == 200;
        if (ok && parse_) ok = ParsesAsJson(lane->body);
        if (latencies) latencies->Record(lane->index, Clock::now() - lane->started);
        if (!ok) ++failed_;
        if (first_body_.empty()) first_body_ = lane->body;
        ++ended_;
        curl_multi_remove_handle(multi_, lane->easy);
        lane->busy = false;
        StartNext(*lane);
      }
      if (ended_ == total_) break;
      curl_multi_poll(multi_, nullptr, 0, static_cast<int>(std::min<int64_t>(left.count(), 1000)),
                      nullptr);
    }
    for (Lane& lane : lanes_) {
      if (lane.busy) curl_multi_remove_handle(multi_, lane.easy);
      lane.busy = false;
    }
    return ended_ == total_;
  }

  int64_t ended() const { return ended_; }
  int64_t failed() const { return failed_; }
  const std::string& first_body() const { return first_body_; }

 private:
  struct Lane {
    CURL* easy = nullptr;
    std::string body;
    int64_t index = 0;
    Clock::time_point started;
    bool busy = false;
  };

  void StartNext(Lane& lane) {
    if (next_ >= total_) return;
    lane.index = next_++;
    lane.body.clear();
    lane.started = Clock::now();
    lane.busy = true;
    curl_multi_add_handle(multi_, lane.easy);
  }

  CURLM* multi_;
  const bool parse_;
  curl_slist* headers_ = nullptr;
  curl_slist* connect_to_ = nullptr;
  std::vector<Lane> lanes_;
  int64_t total_ = 0;
  int64_t next_ = 0;
  int64_t ended_ = 0;
  int64_t failed_ = 0;
  std::string first_body_;
};

// libcurl's --connect-to entry that sends the address's host to the target.
std::string ConnectToEntry(const base::http::TransportRequest& request, const Settings& settings) {
  return PartsOf(request.url).host_port + ":" + settings.target;
}

// Takes the address once: in the encrypted form it carries a timestamp, which the service
// accepts for minutes, far longer than a run.
base::http::TransportRequest PrepareRaw(const Settings& settings) {
  base::thread::UiLoop::Instance().BindToCurrentThread();
  base::http::TransportRequest request = CaptureRequest(*settings.method);
  curl_global_init(CURL_GLOBAL_DEFAULT);
  return request;
}

RunResult RunRaw(const Settings& settings, int64_t concurrency) {
  RunResult result;
  const base::http::TransportRequest request = PrepareRaw(settings);
  RawLoad load(request, ConnectToEntry(request, settings), concurrency, settings.method->page);
  Measure(load, settings, result);
  if (load.first_body().find("22000") == std::string::npos) {
    std::fprintf(stderr, "lumo_load_driver: raw answer without the success code: %.200s\n",
                 load.first_body().c_str());
  }
  return result;
}

// ---- cpprest modes ------------------------------------------------------------------------

// What a host would write with the URI library's HTTP client: one http_client, each call a GET
// whose answer is read with extract_json, chained as tasks; each finished call starts the next.
class CpprestLoad {
 public:
  CpprestLoad(const base::http::TransportRequest& request, const std::string& target,
              int64_t concurrency)
      : client_(web::uri("http://" + target), ClientConfig()),
        path_(PartsOf(request.url).path_and_query),
        headers_(request.headers),
        concurrency_(concurrency) {}

  bool Run(int64_t count, Latencies* latencies, Clock::time_point deadline) {
    pplx::cancellation_token_source cancel;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      total_ = count;
      ended_ = 0;
      failed_ = 0;
      latencies_ = latencies;
      token_ = cancel.get_token();
      stopping_ = false;
    }
    next_ = 0;
    for (int64_t i = 0; i < concurrency_; ++i) StartNext();
    std::unique_lock<std::mutex> lock(mutex_);
    const bool finished = done_.wait_until(lock, deadline, [this] { return ended_ == total_; });
    if (!finished) {
      stopping_ = true;
      cancel.cancel();
      done_.wait_for(lock, std::chrono::seconds(10), [this] { return in_flight_ == 0; });
    }
    return finished;
  }

  int64_t ended() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return ended_;
  }
  int64_t failed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return failed_;
  }

 private:
  static web::http::client::http_client_config ClientConfig() {
    web::http::client::http_client_config config;
    // Everything else stays at its default; a proxy from the environment must not take the
    // loopback traffic elsewhere.
    config.set_proxy(web::web_proxy(web::web_proxy::disabled));
    return config;
  }

  void StartNext() {
    const int64_t index = next_.fetch_add(1);
    pplx::cancellation_token token = pplx::cancellation_token::none();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (index >= total_ || stopping_) return;
      ++in_flight_;
      token = token_;
    }
    web::http::http_request request(web::http::methods::GET);
    request.set_request_uri(web::uri(path_));
    for (const auto& [name, value] : headers_) request.headers().add(name, value);
    const Clock::time_point started = Clock::now();
    client_.request(request, token)
        .then([](const web::http::http_response& response) {
          const bool ok = response.status_code() == web::http::status_codes::OK;
          return response.extract_json(true).then(
              [ok](const web::json::value& answer) { return ok && !answer.is_null(); });
        })
        .then([this, index, started](pplx::task<bool> outcome) {
          bool ok = false;
          try {
            ok = outcome.get();
          } catch (const std::exception&) {
          }
          Ended(index, started, ok);
        });
  }

  void Ended(int64_t index, Clock::time_point started, bool ok) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (latencies_) latencies_->Record(index, Clock::now() - started);
      if (!ok) ++failed_;
      ++ended_;
      --in_flight_;
      if (ended_ == total_ || in_flight_ == 0) done_.notify_all();
    }
    StartNext();
  }

  web::http::client::http_client client_;
  const std::string path_;
  const std::vector<std::pair<std::string, std::string>> headers_;
  const int64_t concurrency_;
  std::atomic<int64_t> next_{0};
  mutable std::mutex mutex_;
  std::condition_variable done_;
  int64_t total_ = 0;
  int64_t ended_ = 0;
  int64_t failed_ = 0;
  int64_t in_flight_ = 0;
  bool stopping_ = false;
  Latencies* latencies_ = nullptr;
  pplx::cancellation_token token_ = pplx::cancellation_token::none();
};

RunResult RunCpprest(const Settings& settings, int64_t concurrency, size_t pool_threads) {
  RunResult result;
  // Before the first task: the pool's size is fixed when it is first used.
  if (pool_threads > 0) crossplat::threadpool::initialize_with_threads(pool_threads);
  const base::http::TransportRequest request = PrepareRaw(settings);
  CpprestLoad load(request, settings.target, concurrency);
  Measure(load, settings, result);
  return result;
}

// ---- paging scenario ----------------------------------------------------------------------

struct TaskWaiter : sigslot::has_slots<> {
  void OnCompleted() {
    done = true;
    // Wakes the UI loop at once rather than at its next poll.
    base::thread::UiLoop::Instance().Post([] {});
  }
  std::atomic<bool> done{false};
};

// Runs the library's gathering task to its end, `count` times, one after another.
class LibraryPaging {
 public:
  explicit LibraryPaging(const std::string& task) : task_(task) {}

  bool Run(int64_t count, Latencies* latencies, Clock::time_point deadline) {
    ended_ = 0;
    failed_ = 0;
    for (int64_t i = 0; i < count; ++i) {
      const Clock::time_point started = Clock::now();
      if (started >= deadline) return false;
      if (!RunOnce(deadline)) ++failed_;
      if (latencies) latencies->Record(i, Clock::now() - started);
      ++ended_;
    }
    return true;
  }

  int64_t ended() const { return ended_; }
  int64_t failed() const { return failed_; }
  size_t items() const { return items_; }

 private:
  template <class Task>
  bool Gather(Task& task, Clock::time_point deadline) {
    TaskWaiter waiter;
    task.completed.connect(&waiter, &TaskWaiter::OnCompleted);
    task.BeginRequest();
    auto& loop = base::thread::UiLoop::Instance();
    const bool finished =
        loop.RunUntil([&waiter] { return waiter.done.load(); },
                      std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::max(Clock::duration::zero(), deadline - Clock::now())));
    items_ = task.songs.size();
    return finished && task._GetSucceeded();
  }

  bool RunOnce(Clock::time_point deadline) {
    if (task_ == "list") {
      lumoapi::diy::GetAllPlayListSongs task(BigUserToken(), kBigListId);
      return Gather(task, deadline);
    }
    lumoapi::favorite::GetAllFavoriteSongs task(BigUserToken());
    return Gather(task, deadline);
  }

  const std::string task_;
  int64_t ended_ = 0;
  int64_t failed_ = 0;
  size_t items_ = 0;
};

// The same pages as the task asks for, fetched one after another through one easy handle and
// parsed with the same JSON parser; it stops where the task stops.
class RawPaging {
 public:
  RawPaging(const std::string& task, const Settings& settings) : task_(task) {
    // The task's page addresses, built before the clock starts (the list pages' timestamps hold
    // for minutes).
    const int max_pages = task == "list" ? 20 : 100;
    for (int page = 0; page < max_pages; ++page) {
      std::unique_ptr<lumoapi::RequestBase> request;
      if (task == "list") {
        request = std::make_unique<lumoapi::diy::GetPlayList>(BigUserToken(), kBigListId,
                                                              page * kListPageSize, kListPageSize);
      } else {
        request = std::make_unique<lumoapi::favorite::GetFavoriteSong>(
            BigUserToken(), page * kFavoritePageSize, kFavoritePageSize);
      }
      pages_.push_back(CaptureRequest(*request));
    }
    connect_to_ = curl_slist_append(nullptr, ConnectToEntry(pages_.front(), settings).c_str());
    easy_ = curl_easy_init();
  }
  ~RawPaging() {
    curl_easy_cleanup(easy_);
    curl_slist_free_all(connect_to_);
  }
  RawPaging(const RawPaging&) = delete;
  RawPaging& operator=(const RawPaging&) = delete;

  bool Run(int64_t count, Latencies* latencies, Clock::time_point deadline) {
    ended_ = 0;
    failed_ = 0;
    for (int64_t i = 0; i < count; ++i) {
      const Clock::time_point started = Clock::now();
      if (started >= deadline) return false;
      if (!RunOnce()) ++failed_;
      if (latencies) latencies->Record(i, Clock::now() - started);
      ++ended_;
    }
    return true;
  }

  int64_t ended() const { return ended_; }
  int64_t failed() const { return failed_; }
  size_t pages() const { return pages_fetched_; }
  size_t items() const { return items_; }

 private:
  bool RunOnce() {
    pages_fetched_ = 0;
    items_ = 0;
    for (size_t page = 0; page < pages_.size(); ++page) {
      const std::optional<std::string> body = FetchOnce(easy_, pages_[page], connect_to_);
      if (!body) return false;
      ++pages_fetched_;
      try {
        const web::json::value answer = web::json::value::parse(*body);
        if (task_ == "list") {
          const web::json::value& result = answer.at("result");
          items_ += result.at("songlist").size();
          if ((page + 1) * kListPageSize >=
              static_cast<size_t>(result.at("song_num").as_integer())) {
            return true;
          }
        } else {
          items_ += answer.at("result").size();
          const web::json::value& more = answer.at("havemore");
          if (!more.is_number() || more.as_integer() != 1) return true;
        }
      } catch (const std::exception&) {
        return false;
      }
    }
    return false;  // more pages than expected
  }

  const std::string task_;
  std::vector<base::http::TransportRequest> pages_;
  curl_slist* connect_to_ = nullptr;
  CURL* easy_ = nullptr;
  int64_t ended_ = 0;
  int64_t failed_ = 0;
  size_t pages_fetched_ = 0;
  size_t items_ = 0;
};

RunResult RunPaging(const Settings& settings, const std::string& mode) {
  RunResult result;
  PrepareLibrary(settings);
  curl_global_init(CURL_GLOBAL_DEFAULT);
  if (mode == "library") {
    LibraryPaging load(settings.task);
    Measure(load, settings, result);
    result.items = static_cast<double>(load.items());
  } else {
    RawPaging load(settings.task, settings);
    Measure(load, settings, result);
    result.pages = static_cast<double>(load.pages());
    result.items = static_cast<double>(load.items());
  }
  return result;
}

// ---- Canned answers -----------------------------------------------------------------------

// Writes the sandbox's answers to the calls the canned server answers, one file per call.
bool CaptureAnswers(const Settings& settings, const std::string& directory) {
  base::thread::UiLoop::Instance().BindToCurrentThread();
  curl_global_init(CURL_GLOBAL_DEFAULT);
  CURL* easy = curl_easy_init();
  bool ok = true;
  for (const MethodChoice& method : Methods()) {
    if (method.canned_only || std::string(method.name) == "suggest") continue;
    const base::http::TransportRequest request = CaptureRequest(method);
    curl_slist* connect_to = curl_slist_append(nullptr, ConnectToEntry(request, settings).c_str());
    const std::optional<std::string> body = FetchOnce(easy, request, connect_to);
    curl_slist_free_all(connect_to);
    if (!body || body->find("22000") == std::string::npos) {
      std::fprintf(stderr, "lumo_load_driver: no answer to %s\n", method.name);
      ok = false;
      continue;
    }
    std::ofstream(directory + "/" + method.name + ".json", std::ios::binary) << *body;
  }
  curl_easy_cleanup(easy);
  return ok;
}

// ---- Processes ----------------------------------------------------------------------------

bool WriteAll(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Reads up to `size` bytes until the writer goes away or `timeout` passes; returns how many.
size_t ReadSome(int fd, void* data, size_t size, std::chrono::milliseconds timeout) {
  char* p = static_cast<char*>(data);
  size_t got = 0;
  const Clock::time_point deadline = Clock::now() + timeout;
  while (got < size) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) break;
    pollfd waiting{fd, POLLIN, 0};
    const int ready = poll(&waiting, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;
    const ssize_t n = read(fd, p + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  return got;
}

bool ReadAll(int fd, void* data, size_t size, std::chrono::milliseconds timeout) {
  return ReadSome(fd, data, size, timeout) == size;
}

// The sandbox in a process of its own; it stops when the pipe from this process closes.
struct SandboxProcess {
  pid_t pid = 0;
  int stop_fd = -1;  // closing it stops the sandbox
  uint16_t port = 0;
};

std::optional<SandboxProcess> StartSandbox(int threads) {
  int port_pipe[2];
  int stop_pipe[2];
  if (pipe(port_pipe) != 0 || pipe(stop_pipe) != 0) return std::nullopt;
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) return std::nullopt;
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    close(port_pipe[0]);
    close(stop_pipe[1]);
    lumo::sandbox::Options options;
    options.threads = threads;
    lumo::sandbox::Server server(options);
    std::string error;
    uint16_t port = 0;
    if (server.Start(&error)) {
      port = server.port();
    } else {
      std::fprintf(stderr, "lumo_load_driver: sandbox: %s\n", error.c_str());
    }
    WriteAll(port_pipe[1], &port, sizeof(port));
    close(port_pipe[1]);
    char ignored;
    while (port != 0 && read(stop_pipe[0], &ignored, 1) != 0) {
    }
    server.Stop();
    _exit(0);
  }
  close(port_pipe[1]);
  close(stop_pipe[0]);
  SandboxProcess sandbox;
  sandbox.pid = pid;
  sandbox.stop_fd = stop_pipe[1];
  const bool read_port =
      ReadAll(port_pipe[0], &sandbox.port, sizeof(sandbox.port), std::chrono::seconds(30));
  close(port_pipe[0]);
  if (!read_port || sandbox.port == 0) {
    close(sandbox.stop_fd);
    waitpid(pid, nullptr, 0);
    return std::nullopt;
  }
  return sandbox;
}

void StopSandbox(SandboxProcess& sandbox) {
  close(sandbox.stop_fd);
  waitpid(sandbox.pid, nullptr, 0);
}

// Runs `run` in a fresh process and returns what it measured.
std::optional<RunResult> RunInChild(const Settings& settings, const std::string& mode,
                                    int64_t concurrency, const std::function<RunResult()>& run) {
  int result_pipe[2];
  if (pipe(result_pipe) != 0) return std::nullopt;
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) return std::nullopt;
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    close(result_pipe[0]);
    RunResult result = run();
    std::snprintf(result.mode, sizeof(result.mode), "%s", mode.c_str());
    result.concurrency = static_cast<int>(concurrency);
    result.peak_rss_kb = StatusKb("VmHWM:");
    WriteAll(result_pipe[1], &result, sizeof(result));
    // Skips the static destructors: the library's transport would otherwise join its thread
    // and wait out connections that nobody measures any more.
    _exit(0);
  }
  close(result_pipe[1]);
  RunResult result;
  const bool received = ReadAll(result_pipe[0], &result, sizeof(result),
                                std::chrono::seconds(settings.time_limit_s + 15));
  close(result_pipe[0]);
  if (!received) kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  if (!received) return std::nullopt;
  return result;
}

// ---- wrk ----------------------------------------------------------------------------------

// wrk's report as one line of JSON, read back by RunWrk.
constexpr char kWrkScript[] = R"(done = function(summary, latency, requests)
  local e = summary.errors
  io.write(string.format("WRK %d %d %d %.1f %.1f\n", summary.requests, summary.duration,
    e.connect + e.read + e.write + e.timeout + e.status, latency:percentile(50),
    latency:percentile(99)))
end
)";

// wrk with one thread and `concurrency` connections for settings.wrk_seconds, sending the
// method's address and headers to the target. Its CPU time and peak RSS come from wait4.
std::optional<RunResult> RunWrk(const Settings& settings, int concurrency,
                                const std::string& script) {
  int output_pipe[2];
  if (pipe(output_pipe) != 0) return std::nullopt;
  const double server_cpu = OtherProcessCpuSeconds(settings.server_pid);
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) return std::nullopt;
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    close(output_pipe[0]);
    dup2(output_pipe[1], STDOUT_FILENO);
    base::thread::UiLoop::Instance().BindToCurrentThread();
    const base::http::TransportRequest request = CaptureRequest(*settings.method);
    std::vector<std::string> args = {"wrk",
                                     "-t1",
                                     "-c" + std::to_string(concurrency),
                                     "-d" + std::to_string(settings.wrk_seconds) + "s",
                                     "--timeout",
                                     "5s",
                                     "-s",
                                     script};
    for (const auto& header : request.headers) {
      args.push_back("-H");
      args.push_back(HeaderLine(header));
    }
    args.push_back("http://" + settings.target + PartsOf(request.url).path_and_query);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    execvp("wrk", argv.data());
    std::fprintf(stderr, "lumo_load_driver: cannot run wrk: %s\n", std::strerror(errno));
    _exit(127);
  }
  close(output_pipe[1]);
  std::string output(1 << 16, '\0');
  output.resize(ReadSome(output_pipe[0], output.data(), output.size(),
                         std::chrono::seconds(settings.wrk_seconds + 15)));
  close(output_pipe[0]);
  kill(pid, SIGKILL);  // gone already unless it overran
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const size_t line = output.find("WRK ");
  if (line == std::string::npos) {
    std::fprintf(stderr, "lumo_load_driver: wrk gave no report: %.300s\n", output.c_str());
    return std::nullopt;
  }
  long long requests = 0;
  long long duration_us = 0;
  long long errors = 0;
  RunResult result;
  if (std::sscanf(output.c_str() + line, "WRK %lld %lld %lld %lf %lf", &requests, &duration_us,
                  &errors, &result.p50_us, &result.p99_us) != 5) {
    return std::nullopt;
  }
  std::snprintf(result.mode, sizeof(result.mode), "wrk");
  result.concurrency = concurrency;
  result.completed = requests;
  result.failed = errors;
  result.wall_s = static_cast<double>(duration_us) / 1e6;
  result.client_cpu_s = CpuSeconds(usage);
  result.context_switches = usage.ru_nvcsw + usage.ru_nivcsw;
  result.peak_rss_kb = usage.ru_maxrss;
  if (server_cpu >= 0) {
    result.server_cpu_s = OtherProcessCpuSeconds(settings.server_pid) - server_cpu;
  }
  return result;
}

// The wrk report script in a temporary file; removed by the caller.
std::string WriteWrkScript() {
  char path[] = "/tmp/lumo-wrk-XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) return std::string();
  const bool written = WriteAll(fd, kWrkScript, sizeof(kWrkScript) - 1);
  close(fd);
  if (!written) {
    unlink(path);
    return std::string();
  }
  return path;
}

// ---- Output -------------------------------------------------------------------------------

std::string LoadAverage() {
  std::ifstream file("/proc/loadavg");
  std::string one, five, fifteen;
  file >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}

double PerRequestUs(double seconds, int64_t count) {
  return count > 0 && seconds >= 0 ? seconds * 1e6 / static_cast<double>(count) : -1;
}

double PerRequest(int64_t total, int64_t count) {
  return count > 0 ? static_cast<double>(total) / static_cast<double>(count) : 0;
}

double RequestsPerSecond(const RunResult& r) {
  return r.wall_s > 0 ? static_cast<double>(r.completed) / r.wall_s : 0.0;
}

// This row's calls per second over the raw client's at the same concurrency; 0 when unknown.
double RatioToRaw(const RunResult& row, const std::vector<RunResult>& results) {
  for (const RunResult& r : results) {
    if (std::strcmp(r.mode, "raw") == 0 && r.concurrency == row.concurrency &&
        RequestsPerSecond(r) > 0) {
      return RequestsPerSecond(row) / RequestsPerSecond(r);
    }
  }
  return 0;
}

std::string Subject(const Settings& settings) {
  if (settings.scenario == "paging") {
    return "task " + settings.task +
           (settings.task == "list" ? " (GetAllPlayListSongs)" : " (GetAllFavoriteSongs)");
  }
  return std::string("method ") + settings.method->name + " (" + settings.method->description + ")";
}

void PrintTable(const Settings& settings, const std::vector<RunResult>& results,
                const std::string& load_before, const std::string& load_after) {
  std::printf("%s scenario against %s %s: %s\n", settings.scenario.c_str(), settings.server.c_str(),
              settings.target.c_str(), Subject(settings).c_str());
  std::printf("%lld %s per run after %lld warm-up, %ld CPUs, load average %s -> %s\n",
              static_cast<long long>(settings.requests),
              settings.scenario == "paging" ? "tasks" : "requests",
              static_cast<long long>(settings.warmup), sysconf(_SC_NPROCESSORS_ONLN),
              load_before.c_str(), load_after.c_str());
  std::printf("%-8s %5s %7s %6s %9s %6s %8s %8s %12s %8s %12s %9s %9s\n", "mode", "conc", "done",
              "failed", "req/s", "÷raw", "p50 ms", "p99 ms", "client us/r", "cs/r", "server us/r",
              "base MiB", "peak MiB");
  for (const RunResult& r : results) {
    const double server_us = PerRequestUs(r.server_cpu_s, r.completed);
    char server_text[32] = "-";
    if (server_us >= 0) std::snprintf(server_text, sizeof(server_text), "%.1f", server_us);
    std::printf("%-8s %5d %7lld %6lld %9.0f %6.2f %8.3f %8.3f %12.1f %8.2f %12s %9.1f %9.1f%s\n",
                r.mode, r.concurrency, static_cast<long long>(r.completed),
                static_cast<long long>(r.failed), RequestsPerSecond(r), RatioToRaw(r, results),
                r.p50_us / 1000, r.p99_us / 1000, PerRequestUs(r.client_cpu_s, r.completed),
                PerRequest(r.context_switches, r.completed), server_text,
                static_cast<double>(r.base_rss_kb) / 1024,
                static_cast<double>(r.peak_rss_kb) / 1024, r.timed_out ? "  (time limit)" : "");
    if (settings.scenario == "burst" && r.completed > 0) {
      std::printf(
          "%-8s footprint %.2f KiB per call\n", "",
          static_cast<double>(r.peak_rss_kb - r.base_rss_kb) / static_cast<double>(r.completed));
    }
    if (settings.scenario == "paging") {
      std::printf(
          "%-8s %.0f songs per task%s\n", "", r.items,
          r.pages > 0 ? (", " + std::to_string(static_cast<int>(r.pages)) + " pages").c_str() : "");
    }
  }
}

void PrintJson(const Settings& settings, const std::vector<RunResult>& results,
               const std::string& load_before, const std::string& load_after) {
  std::printf(
      "{\"scenario\":\"%s\",\"server\":\"%s\",\"method\":\"%s\",\"task\":\"%s\","
      "\"requests\":%lld,\"warmup\":%lld,\"cpus\":%ld,"
      "\"load_before\":\"%s\",\"load_after\":\"%s\",\"runs\":[",
      settings.scenario.c_str(), settings.server.c_str(), settings.method->name,
      settings.scenario == "paging" ? settings.task.c_str() : "",
      static_cast<long long>(settings.requests), static_cast<long long>(settings.warmup),
      sysconf(_SC_NPROCESSORS_ONLN), load_before.c_str(), load_after.c_str());
  for (size_t i = 0; i < results.size(); ++i) {
    const RunResult& r = results[i];
    std::printf(
        "%s{\"mode\":\"%s\",\"concurrency\":%d,\"completed\":%lld,\"failed\":%lld,"
        "\"timed_out\":%s,\"requests_per_s\":%.1f,\"ratio_to_raw\":%.3f,\"p50_us\":%.1f,"
        "\"p99_us\":%.1f,\"client_cpu_us_per_request\":%.2f,"
        "\"context_switches_per_request\":%.3f,\"server_cpu_us_per_request\":%.2f,"
        "\"base_rss_kb\":%lld,\"peak_rss_kb\":%lld,\"peak_rss_reset\":%s,\"pages\":%.0f,"
        "\"items\":%.0f}",
        i > 0 ? "," : "", r.mode, r.concurrency, static_cast<long long>(r.completed),
        static_cast<long long>(r.failed), r.timed_out ? "true" : "false", RequestsPerSecond(r),
        RatioToRaw(r, results), r.p50_us, r.p99_us, PerRequestUs(r.client_cpu_s, r.completed),
        PerRequest(r.context_switches, r.completed), PerRequestUs(r.server_cpu_s, r.completed),
        static_cast<long long>(r.base_rss_kb), static_cast<long long>(r.peak_rss_kb),
        r.peak_rss_reset ? "true" : "false", r.pages, r.items);
  }
  std::printf("]}\n");
}

std::function<RunResult()> ModeRun(const Settings& settings, const std::string& mode,
                                   int64_t concurrency) {
  if (settings.scenario == "paging") return [&settings, mode] { return RunPaging(settings, mode); };
  if (mode == "library")
    return [&settings, concurrency] { return RunLibrary(settings, concurrency); };
  if (mode == "cpprest")
    return [&settings, concurrency] { return RunCpprest(settings, concurrency, 0); };
  if (mode == "cpprest2")
    return [&settings, concurrency] { return RunCpprest(settings, concurrency, 2); };
  return [&settings, concurrency] { return RunRaw(settings, concurrency); };
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Loopback load through the library and through the clients a host could write."};
  Settings settings;
  std::string method_name = "splash";
  std::vector<int> concurrencies = {1, 16, 64};
  std::vector<std::string> modes = {"library", "raw"};
  std::string connect_to;
  std::string capture_directory;
  int sandbox_threads = 2;
  bool json = false;
  std::vector<std::string> method_names;
  for (const MethodChoice& method : Methods()) method_names.push_back(method.name);
  app.add_option("--scenario", settings.scenario,
                 "load (the modes at each concurrency), burst (--requests calls at once) or "
                 "paging (a gathering task against sequential raw GETs)")
      ->check(CLI::IsMember({"load", "burst", "paging"}));
  app.add_option("--method", method_name, "what every call asks for")
      ->check(CLI::IsMember(method_names));
  app.add_option("--task", settings.task, "paging: fav (2,400 favourites) or list (500 songs)")
      ->check(CLI::IsMember({"fav", "list"}));
  app.add_option("--requests", settings.requests, "measured calls (paging: tasks) per run")
      ->check(CLI::Range(int64_t{1}, int64_t{10'000'000}));
  app.add_option("--warmup", settings.warmup, "calls (paging: tasks) before the measured ones")
      ->check(CLI::Range(int64_t{0}, int64_t{1'000'000}));
  app.add_option("--concurrency", concurrencies, "calls in flight, one run each (1,16,64)")
      ->delimiter(',')
      ->check(CLI::Range(1, 1024));
  app.add_option("--modes", modes, "library, raw, cpprest, cpprest2, wrk (load only)")
      ->delimiter(',')
      ->check(CLI::IsMember({"library", "raw", "cpprest", "cpprest2", "wrk"}));
  app.add_option("--server", settings.server, "what answers: sandbox or nginx (canned answers)")
      ->check(CLI::IsMember({"sandbox", "nginx"}));
  app.add_option("--connect-to", connect_to,
                 "127.0.0.1:PORT of a running server instead of starting a sandbox");
  app.add_option("--server-pid", settings.server_pid,
                 "a running server's process, whose CPU time per call is reported");
  app.add_option("--sandbox-threads", sandbox_threads, "worker threads of the sandbox started here")
      ->check(CLI::Range(1, 64));
  app.add_option("--time-limit", settings.time_limit_s, "seconds after which a run stops")
      ->check(CLI::Range(1, kMaxTimeLimitSeconds));
  app.add_option("--wrk-seconds", settings.wrk_seconds, "length of each wrk run")
      ->check(CLI::Range(1, kMaxTimeLimitSeconds));
  app.add_option("--capture", capture_directory,
                 "write the sandbox's answers for the canned server into this directory and stop");
  app.add_flag("--json", json, "print JSON instead of a table");
  settings.server = "sandbox";
  CLI11_PARSE(app, argc, argv);
  settings.method = FindMethod(method_name);
  if (settings.server == "nginx" && connect_to.empty()) {
    std::fprintf(stderr, "lumo_load_driver: --server nginx needs --connect-to\n");
    return 2;
  }
  if (settings.method->canned_only && settings.server != "nginx") {
    std::fprintf(stderr, "lumo_load_driver: %s is answered by the canned server only\n",
                 settings.method->name);
    return 2;
  }
  if (connect_to.rfind("127.0.0.1:", 0) != 0 && !connect_to.empty()) {
    std::fprintf(stderr, "lumo_load_driver: --connect-to takes 127.0.0.1:PORT\n");
    return 2;
  }
  if (settings.scenario == "burst") {
    // One run with every call started at once.
    concurrencies = {static_cast<int>(settings.requests)};
    settings.keep_finished = true;
  }
  if (settings.scenario == "paging") {
    concurrencies = {1};
    if (settings.server != "sandbox") {
      std::fprintf(stderr, "lumo_load_driver: the paging scenario needs the sandbox\n");
      return 2;
    }
  }
  if (settings.scenario != "load") {
    modes.erase(std::remove_if(modes.begin(), modes.end(),
                               [](const std::string& m) { return m != "library" && m != "raw"; }),
                modes.end());
  }

  std::optional<SandboxProcess> sandbox;
  if (connect_to.empty()) {
    sandbox = StartSandbox(sandbox_threads);
    if (!sandbox) {
      std::fprintf(stderr, "lumo_load_driver: the sandbox did not start\n");
      return 1;
    }
    settings.target = "127.0.0.1:" + std::to_string(sandbox->port);
    settings.server_pid = sandbox->pid;
  } else {
    settings.target = connect_to;
  }

  if (!capture_directory.empty()) {
    std::optional<RunResult> captured = RunInChild(settings, "capture", 1, [&] {
      RunResult result;
      result.completed = CaptureAnswers(settings, capture_directory) ? 1 : 0;
      return result;
    });
    if (sandbox) StopSandbox(*sandbox);
    return captured && captured->completed == 1 ? 0 : 1;
  }

  const std::string wrk_script =
      std::find(modes.begin(), modes.end(), "wrk") != modes.end() ? WriteWrkScript() : "";
  const std::string load_before = LoadAverage();
  std::vector<RunResult> results;
  int status = 0;
  for (int concurrency : concurrencies) {
    for (const std::string& mode : modes) {
      std::optional<RunResult> result =
          mode == "wrk"
              ? RunWrk(settings, concurrency, wrk_script)
              : RunInChild(settings, mode, concurrency, ModeRun(settings, mode, concurrency));
      if (!result) {
        std::fprintf(stderr, "lumo_load_driver: the %s run at concurrency %d did not report\n",
                     mode.c_str(), concurrency);
        status = 1;
        continue;
      }
      if (result->timed_out || result->failed > 0) status = 1;
      results.push_back(*result);
    }
  }
  const std::string load_after = LoadAverage();
  if (sandbox) StopSandbox(*sandbox);
  if (!wrk_script.empty()) unlink(wrk_script.c_str());

  if (json) {
    PrintJson(settings, results, load_before, load_after);
  } else {
    PrintTable(settings, results, load_before, load_after);
  }
  return status;
}
