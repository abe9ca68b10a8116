// lumo_load_driver: loopback load on the sandbox service, once through the library and once
// through a plain libcurl-multi client, at the same concurrency, with the same addresses and the
// same headers, so that the difference between the two is what the library costs.
//
//   library  real request objects through the whole stack: BeginRequest on the UI thread, the
//            libcurl network thread, ParseResult, `completed`; the main thread runs the UI loop,
//            and each completion posts the next BeginRequest to it, keeping C calls in flight.
//   raw      one thread driving libcurl's multi interface: the same GETs (address and headers
//            taken from what the library hands its transport), the same limit of 16 connections
//            per host, keep-alive, easy handles reused; the body is collected and not parsed.
//
// Every run happens in a process of its own, forked from a parent that starts no threads, so the
// CPU time (getrusage) and the peak RSS (VmHWM) reported are the client's alone. Unless
// --connect-to names a running server, the sandbox is started from the linked sandbox library in
// another forked process, and its CPU time per request is reported too. Each run stops by itself
// after --time-limit seconds, finished or not.
#include <curl/curl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <CLI/CLI.hpp>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "base/http/transport.h"
#include "base/thread/ui_loop.h"
#include "lumoapi/request_base.h"
#include "lumoapi/search/catalog_sug.h"
#include "lumoapi/splash/get_splash_pic.h"
#include "sandbox/server.h"

namespace {

using Clock = std::chrono::steady_clock;

// The same cap as the library's transport; further transfers queue for a free connection.
constexpr long kMaxHostConnections = 16;
constexpr int kMaxTimeLimitSeconds = 60;

// The song lists' tag directory: a call in the encrypted and signed address form whose answer is
// small and needs no session. No request class of the library asks for it, so the driver brings
// its own.
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
  std::function<std::unique_ptr<lumoapi::RequestBase>()> make;
};

const std::vector<MethodChoice>& Methods() {
  static const std::vector<MethodChoice> methods = {
      {"splash", "GetSplashPic, norda.lumo.active.startPC, plain form",
       [] { return std::make_unique<lumoapi::splash::GetSplashPic>(); }},
      {"suggest", "CatalogSug(\"love\"), norda.lumo.search.catalogSug, plain form",
       [] { return std::make_unique<lumoapi::search::CatalogSug>(L"love"); }},
      {"channels", "getChannels, norda.lumo.ugcdiy.getChannels, encrypted form",
       [] { return std::make_unique<ChannelList>(); }},
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
  int64_t requests = 20000;
  int64_t warmup = 500;
  int time_limit_s = 30;
  std::string target;    // "127.0.0.1:PORT"
  pid_t server_pid = 0;  // 0: not ours, its CPU time is not reported
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
  int64_t peak_rss_kb = 0;
  bool peak_rss_reset = false;  // VmHWM was reset at the start of the run's process
};

// ---- Measuring ----------------------------------------------------------------------------

rusage ProcessUsage() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage;
}

double CpuSeconds(const rusage& usage) {
  auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// User + system time of another process of ours, from /proc; negative when unknown.
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

int64_t PeakRssKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stoll(line.substr(6));
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
    auto at = [&](double q) { return done[static_cast<size_t>(q * (done.size() - 1) + 0.5)]; };
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

// The address and headers that one BeginRequest of `method` hands to the transport.
// REQUIRES: the calling thread is the UI thread.
base::http::TransportRequest CaptureRequest(const MethodChoice& method) {
  auto capture = std::make_shared<CaptureTransport>();
  base::http::SetTransport(capture);
  {
    std::unique_ptr<lumoapi::RequestBase> request = method.make();
    request->BeginRequest();
  }
  base::http::SetTransport(nullptr);
  if (!capture->captured) {
    std::fprintf(stderr, "lumo_load_driver: the request sent nothing\n");
    std::exit(1);
  }
  return *capture->captured;
}

// "host:port" of an http address, with the scheme's port when the address names none.
std::string HostPortOf(const std::string& url) {
  CURLU* parsed = curl_url();
  char* host = nullptr;
  char* port = nullptr;
  std::string host_port;
  if (curl_url_set(parsed, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
      curl_url_get(parsed, CURLUPART_HOST, &host, 0) == CURLUE_OK &&
      curl_url_get(parsed, CURLUPART_PORT, &port, CURLU_DEFAULT_PORT) == CURLUE_OK) {
    host_port = std::string(host) + ":" + port;
  }
  curl_free(host);
  curl_free(port);
  curl_url_cleanup(parsed);
  return host_port;
}

// ---- library mode -------------------------------------------------------------------------

// Keeps `concurrency` calls in flight through real request objects. UI thread only, apart from
// OnCompleted, which runs wherever `completed` is emitted.
class LibraryLoad {
 public:
  LibraryLoad(const MethodChoice& method, int concurrency) : method_(method) {
    lanes_.reserve(static_cast<size_t>(concurrency));
    for (int i = 0; i < concurrency; ++i) lanes_.push_back(std::make_unique<Lane>(this));
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
    lane.request.reset();
    if (next_ >= total_) return;
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
  std::vector<std::unique_ptr<Lane>> lanes_;
  int64_t total_ = 0;  // UI thread
  int64_t next_ = 0;   // UI thread
  std::atomic<int64_t> ended_{0};
  std::atomic<int64_t> failed_{0};
  Latencies* latencies_ = nullptr;
};

RunResult RunLibrary(const Settings& settings, int concurrency) {
  RunResult result;
  base::thread::UiLoop::Instance().BindToCurrentThread();
  const base::http::TransportRequest sample = CaptureRequest(*settings.method);
  base::http::SetConnectTo(HostPortOf(sample.url), settings.target);

  LibraryLoad load(*settings.method, concurrency);
  Measure(load, settings, result);
  return result;
}

// ---- raw mode -----------------------------------------------------------------------------

// One thread, one multi handle, one reused easy handle per call in flight.
class RawLoad {
 public:
  RawLoad(const base::http::TransportRequest& request, const std::string& connect_to,
          int concurrency)
      : multi_(curl_multi_init()) {
    curl_multi_setopt(multi_, CURLMOPT_MAX_HOST_CONNECTIONS, kMaxHostConnections);
    for (const auto& [name, value] : request.headers) {
      const std::string line = value.empty() ? name + ";" : name + ": " + value;
      headers_ = curl_slist_append(headers_, line.c_str());
    }
    connect_to_ = curl_slist_append(nullptr, connect_to.c_str());
    lanes_.resize(static_cast<size_t>(concurrency));
    for (Lane& lane : lanes_) {
      lane.easy = curl_easy_init();
      CURL* easy = lane.easy;
      curl_easy_setopt(easy, CURLOPT_URL, request.url.c_str());
      curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
      curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers_);
      curl_easy_setopt(easy, CURLOPT_CONNECT_TO, connect_to_);
      curl_easy_setopt(easy, CURLOPT_NOPROXY, "*");
      curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
      curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
      curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, 10'000L);
      curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, 30'000L);
      curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &RawLoad::OnBody);
      curl_easy_setopt(easy, CURLOPT_WRITEDATA, &lane);
      curl_easy_setopt(easy, CURLOPT_PRIVATE, &lane);
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
        if (latencies) latencies->Record(lane->index, Clock::now() - lane->started);
        if (code != CURLE_OK || status != 200) ++failed_;
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

  static size_t OnBody(char* data, size_t size, size_t count, void* user) {
    static_cast<Lane*>(user)->body.append(data, size * count);
    return size * count;
  }

  void StartNext(Lane& lane) {
    if (next_ >= total_) return;
    lane.index = next_++;
    lane.body.clear();
    lane.started = Clock::now();
    lane.busy = true;
    curl_multi_add_handle(multi_, lane.easy);
  }

  CURLM* multi_;
  curl_slist* headers_ = nullptr;
  curl_slist* connect_to_ = nullptr;
  std::vector<Lane> lanes_;
  int64_t total_ = 0;
  int64_t next_ = 0;
  int64_t ended_ = 0;
  int64_t failed_ = 0;
  std::string first_body_;
};

RunResult RunRaw(const Settings& settings, int concurrency) {
  RunResult result;
  base::thread::UiLoop::Instance().BindToCurrentThread();
  // Taken once: in the encrypted form the address carries a timestamp, which the service accepts
  // for minutes, far longer than a run.
  const base::http::TransportRequest request = CaptureRequest(*settings.method);
  curl_global_init(CURL_GLOBAL_DEFAULT);
  const std::string connect_to = HostPortOf(request.url) + ":" + settings.target;

  RawLoad load(request, connect_to, concurrency);
  Measure(load, settings, result);
  if (load.first_body().find("22000") == std::string::npos) {
    std::fprintf(stderr, "lumo_load_driver: raw answer without the success code: %.200s\n",
                 load.first_body().c_str());
  }
  return result;
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

// Reads exactly `size` bytes unless the writer goes away or `timeout` passes first.
bool ReadAll(int fd, void* data, size_t size, std::chrono::milliseconds timeout) {
  char* p = static_cast<char*>(data);
  const Clock::time_point deadline = Clock::now() + timeout;
  while (size > 0) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    pollfd waiting{fd, POLLIN, 0};
    const int ready = poll(&waiting, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    const ssize_t n = read(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
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

// Runs one mode at one concurrency in a fresh process and returns what it measured.
std::optional<RunResult> RunInChild(const Settings& settings, const std::string& mode,
                                    int concurrency) {
  int result_pipe[2];
  if (pipe(result_pipe) != 0) return std::nullopt;
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) return std::nullopt;
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    close(result_pipe[0]);
    const bool reset = ResetPeakRss();
    RunResult result =
        mode == "library" ? RunLibrary(settings, concurrency) : RunRaw(settings, concurrency);
    std::snprintf(result.mode, sizeof(result.mode), "%s", mode.c_str());
    result.concurrency = concurrency;
    result.peak_rss_kb = PeakRssKb();
    result.peak_rss_reset = reset;
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

void PrintTable(const Settings& settings, const std::vector<RunResult>& results,
                const std::string& load_before, const std::string& load_after) {
  std::printf("method %s (%s)\n", settings.method->name, settings.method->description);
  std::printf("%lld requests per run after %lld warm-up, %ld CPUs, load average %s -> %s\n",
              static_cast<long long>(settings.requests), static_cast<long long>(settings.warmup),
              sysconf(_SC_NPROCESSORS_ONLN), load_before.c_str(), load_after.c_str());
  std::printf("%-8s %5s %7s %6s %9s %8s %8s %12s %8s %12s %9s\n", "mode", "conc", "done", "failed",
              "req/s", "p50 ms", "p99 ms", "client us/r", "cs/r", "server us/r", "peak MiB");
  for (const RunResult& r : results) {
    const double server_us = PerRequestUs(r.server_cpu_s, r.completed);
    char server_text[32] = "-";
    if (server_us >= 0) std::snprintf(server_text, sizeof(server_text), "%.1f", server_us);
    std::printf("%-8s %5d %7lld %6lld %9.0f %8.3f %8.3f %12.1f %8.2f %12s %9.1f%s\n", r.mode,
                r.concurrency, static_cast<long long>(r.completed),
                static_cast<long long>(r.failed),
                r.wall_s > 0 ? static_cast<double>(r.completed) / r.wall_s : 0.0, r.p50_us / 1000,
                r.p99_us / 1000, PerRequestUs(r.client_cpu_s, r.completed),
                PerRequest(r.context_switches, r.completed), server_text,
                static_cast<double>(r.peak_rss_kb) / 1024, r.timed_out ? "  (time limit)" : "");
  }
  const bool all_reset = std::all_of(results.begin(), results.end(),
                                     [](const RunResult& r) { return r.peak_rss_reset; });
  if (!all_reset) {
    std::printf(
        "peak RSS could not be reset (/proc/self/clear_refs): it includes the forked "
        "parent's pages\n");
  }
}

void PrintJson(const Settings& settings, const std::vector<RunResult>& results,
               const std::string& load_before, const std::string& load_after) {
  std::printf(
      "{\"method\":\"%s\",\"requests\":%lld,\"warmup\":%lld,\"cpus\":%ld,"
      "\"load_before\":\"%s\",\"load_after\":\"%s\",\"runs\":[",
      settings.method->name, static_cast<long long>(settings.requests),
      static_cast<long long>(settings.warmup), sysconf(_SC_NPROCESSORS_ONLN), load_before.c_str(),
      load_after.c_str());
  for (size_t i = 0; i < results.size(); ++i) {
    const RunResult& r = results[i];
    std::printf(
        "%s{\"mode\":\"%s\",\"concurrency\":%d,\"completed\":%lld,\"failed\":%lld,"
        "\"timed_out\":%s,\"requests_per_s\":%.1f,\"p50_us\":%.1f,\"p99_us\":%.1f,"
        "\"client_cpu_us_per_request\":%.2f,\"context_switches_per_request\":%.3f,"
        "\"server_cpu_us_per_request\":%.2f,\"peak_rss_kb\":%lld,\"peak_rss_reset\":%s}",
        i > 0 ? "," : "", r.mode, r.concurrency, static_cast<long long>(r.completed),
        static_cast<long long>(r.failed), r.timed_out ? "true" : "false",
        r.wall_s > 0 ? static_cast<double>(r.completed) / r.wall_s : 0.0, r.p50_us, r.p99_us,
        PerRequestUs(r.client_cpu_s, r.completed), PerRequest(r.context_switches, r.completed),
        PerRequestUs(r.server_cpu_s, r.completed), static_cast<long long>(r.peak_rss_kb),
        r.peak_rss_reset ? "true" : "false");
  }
  std::printf("]}\n");
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Loopback load through the library and through a plain libcurl client."};
  Settings settings;
  std::string method_name = "splash";
  std::vector<int> concurrencies = {1, 16, 64};
  std::vector<std::string> modes = {"library", "raw"};
  std::string connect_to;
  int sandbox_threads = 2;
  bool json = false;
  std::vector<std::string> method_names;
  for (const MethodChoice& method : Methods()) method_names.push_back(method.name);
  app.add_option("--method", method_name, "what every call asks for")
      ->check(CLI::IsMember(method_names));
  app.add_option("--requests", settings.requests, "measured calls per run")
      ->check(CLI::Range(int64_t{1}, int64_t{10'000'000}));
  app.add_option("--warmup", settings.warmup, "calls before the measured ones, per run")
      ->check(CLI::Range(int64_t{0}, int64_t{1'000'000}));
  app.add_option("--concurrency", concurrencies, "calls in flight, one run each (1,16,64)")
      ->delimiter(',')
      ->check(CLI::Range(1, 1024));
  app.add_option("--modes", modes, "library, raw or both")
      ->delimiter(',')
      ->check(CLI::IsMember({"library", "raw"}));
  app.add_option("--connect-to", connect_to,
                 "HOST:PORT of a running sandbox instead of starting one");
  app.add_option("--sandbox-threads", sandbox_threads, "worker threads of the sandbox started here")
      ->check(CLI::Range(1, 64));
  app.add_option("--time-limit", settings.time_limit_s, "seconds after which a run stops")
      ->check(CLI::Range(1, kMaxTimeLimitSeconds));
  app.add_flag("--json", json, "print JSON instead of a table");
  CLI11_PARSE(app, argc, argv);
  settings.method = FindMethod(method_name);

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

  const std::string load_before = LoadAverage();
  std::vector<RunResult> results;
  int status = 0;
  for (int concurrency : concurrencies) {
    for (const std::string& mode : modes) {
      std::optional<RunResult> result = RunInChild(settings, mode, concurrency);
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

  if (json) {
    PrintJson(settings, results, load_before, load_after);
  } else {
    PrintTable(settings, results, load_before, load_after);
  }
  return status;
}
