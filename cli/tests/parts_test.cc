// The tool's parts that a run of the binary shows poorly: the task runner with a fake task, the
// typo suggestions, the completion script, readable units and token masking.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "base/thread/ui_loop.h"
#include "command_line.h"
#include "describe.h"
#include "exchange_watch.h"
#include "file_digest.h"
#include "lumoapi/request_base.h"
#include "options.h"
#include "report.h"
#include "sandbox/serve_options.h"
#include "sandbox/server.h"
#include "service_codes.h"
#include "session.h"
#include "store_put.h"
#include "trace.h"

namespace lumo::cli {
namespace {

// A task of `pages` pages, each "fetched" by a task posted to the UI loop; its end signal fires
// once after the last: `completed`, or `task_completed` as some of the library's tasks do. With
// `pages` < 0 it never ends.
class FakePagingTask : public lumoapi::RequestRoot {
 public:
  FakePagingTask(int pages, bool ends_with_task_completed)
      : pages_(pages), ends_with_task_completed_(ends_with_task_completed) {}

  void BeginRequest() override { PostNextPage(); }

  sigslot::signal2<int, int, sigslot::single_threaded> task_completed;
  int pages_done = 0;
  int items = 0;
  int ends = 0;

 private:
  void PostNextPage() {
    if (pages_ < 0) return;
    base::thread::UiLoop::Instance().Post([this] {
      if (pages_done == pages_) {
        ++ends;
        if (ends_with_task_completed_) {
          task_completed(0, 22000);
        } else {
          completed();
        }
        return;
      }
      ++pages_done;
      items += 50;
      PostNextPage();
    });
  }

  const int pages_;
  const bool ends_with_task_completed_;
};

GlobalOptions NowhereOptions(int timeout_seconds) {
  GlobalOptions options;
  // Nothing is sent: the route only has to exist, without starting the built-in sandbox.
  options.connect_to = "127.0.0.1:1";
  options.timeout_seconds = timeout_seconds;
  return options;
}

TEST(TaskRunnerTest, WaitsForTheEndWhicheverSignalItIs) {
  base::thread::UiLoop::Instance().BindToCurrentThread();
  struct Case {
    int pages;
    bool ends_with_task_completed;
    int timeout_seconds;
    std::optional<int> exit;
  };
  const Case cases[] = {
      {0, false, 5, std::nullopt},         {3, false, 5, std::nullopt},
      {120, false, 5, std::nullopt},       {3, true, 5, std::nullopt},
      {-1, false, 1, kExitTransportError},  // never ends: gives up after the timeout and its grace
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.pages << (c.ends_with_task_completed ? " task_completed" : ""));
    FakePagingTask task(c.pages, c.ends_with_task_completed);
    // Asked after each answer of the transport; this task has none.
    const std::function<size_t()> items = [&] { return static_cast<size_t>(task.items); };
    {
      Session session(NowhereOptions(c.timeout_seconds));
      const std::optional<int> exit =
          c.ends_with_task_completed ? session.RunTask(task, task.task_completed, "fake", items)
                                     : session.RunTask(task, "fake", items);
      EXPECT_EQ(exit, c.exit);
    }
    EXPECT_EQ(task.ends, c.exit ? 0 : 1);
    if (c.pages > 0) {
      EXPECT_EQ(task.pages_done, c.pages);
      EXPECT_EQ(task.items, 50 * c.pages);
    }
  }
}

// HOST:PORT is read in one pass whatever its length (a backtracking pattern used to overflow the
// stack on a long text).
TEST(HostPortTest, ReadsHostAndPortAndRefusesTheRest) {
  struct Case {
    std::string text;
    bool valid;
    bool loopback;
  };
  const std::string long_host(30000, 'a');
  const Case cases[] = {
      {"127.0.0.1:8080", true, true},
      {"127.200.3.4:1", true, true},
      {"api.lumo.example:80", true, false},
      {"128.0.0.1:80", true, false},
      {"127.0.0.256:80", true, false},
      {"127.0.0:80", true, false},
      {"127.0.0.1.1:80", true, false},
      {std::string(253, 'h') + ":80", true, false},
      {"h:65535", true, false},
      {"", false, false},
      {":80", false, false},
      {"h:", false, false},
      {"h:65536", false, false},
      {"h:123456", false, false},
      {"h:8o", false, false},
      {"a b:1", false, false},
      {"h:1:2", false, false},
      {std::string(254, 'h') + ":80", false, false},
      {long_host + ":80", false, false},
  };
  for (const Case& c : cases) {
    const std::string shown = c.text.substr(0, 40);
    EXPECT_EQ(ParseHostPort(c.text).has_value(), c.valid) << shown;
    EXPECT_EQ(IsLoopbackHostPort(c.text), c.loopback) << shown;
  }
  const auto parsed = ParseHostPort("127.0.0.1:8080");
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->host, "127.0.0.1");
  EXPECT_EQ(parsed->port, 8080);
}

// An inner transport that keeps each exchange's callback for the test to call.
class HeldTransport : public base::http::Transport {
 public:
  ExchangeId Start(base::http::TransportRequest, base::http::TransportCallback done) override {
    answer = std::move(done);
    return 1;
  }
  void Cancel(ExchangeId) override {}
  base::http::TransportCallback answer;
};

// A paging task's progress is read from the hook, so it must run after the library's handling
// of the answer (which takes in the page) and never once it has been cleared.
TEST(ExchangeWatchTest, AfterAnswerFollowsTheHandlingOfAnswersOnly) {
  struct Case {
    const char* name;
    bool answered;
    bool cleared;
    std::vector<std::string> events;
  };
  const Case cases[] = {
      {"answered", true, false, {"handled", "hook"}},
      {"failed", false, false, {"handled"}},
      {"cleared", true, true, {"handled"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto inner = std::make_shared<HeldTransport>();
    auto watch = std::make_shared<ExchangeWatch>(inner, ExchangeWatch::Settings{});
    std::vector<std::string> events;  // written on the answering thread only, read after join
    watch->SetAfterAnswer([&events] { events.push_back("hook"); });
    watch->Start(base::http::TransportRequest{},
                 [&events](base::http::TransportResult) { events.push_back("handled"); });
    if (c.cleared) watch->SetAfterAnswer(nullptr);
    base::http::TransportResult result;
    result.ok = c.answered;
    result.status = 200;
    result.body = "{}";
    std::thread network([&] { inner->answer(result); });
    network.join();
    EXPECT_EQ(events, c.events);
    inner->answer = nullptr;  // it holds the watch, which holds `inner`
  }
}

// Standard error goes to a terminal (a pseudo-terminal this test reads) while it lives.
class StderrOnTerminal {
 public:
  StderrOnTerminal() {
    EXPECT_EQ(openpty(&reader_, &terminal_, nullptr, nullptr, nullptr), 0);
    fcntl(reader_, F_SETFL, O_NONBLOCK);
    std::fflush(stderr);
    saved_ = dup(STDERR_FILENO);
    dup2(terminal_, STDERR_FILENO);
  }
  ~StderrOnTerminal() {
    std::fflush(stderr);
    dup2(saved_, STDERR_FILENO);
    for (int fd : {saved_, terminal_, reader_}) close(fd);
  }
  // What was written so far.
  std::string Written() {
    std::fflush(stderr);
    std::string text;
    char buffer[256];
    for (ssize_t n; (n = read(reader_, buffer, sizeof buffer)) > 0;) text.append(buffer, n);
    return text;
  }

 private:
  int reader_ = -1;
  int terminal_ = -1;
  int saved_ = -1;
};

TEST(ProgressLineTest, DrawsInPlaceOnATerminalOnlyAndNeverForJson) {
  StderrOnTerminal terminal;
  GlobalOptions text_options;
  GlobalOptions json_options;
  json_options.json = true;
  {
    ProgressLine line{Output(text_options)};
    line.Show("pages 1, items 50");
    line.Show("pages 1, items 50");
    line.Show("pages 10, items 500");
    line.Show("pages 2, items 9");
  }
  // Each change redraws the line from its start, blanks cover what a longer line left, and the
  // line is cleared at the end.
  EXPECT_EQ(terminal.Written(), "\rpages 1, items 50\rpages 10, items 500\rpages 2, items 9   \r" +
                                    std::string(16, ' ') + "\r");
  {
    ProgressLine line{Output(json_options)};
    line.Show("pages 1, items 50");
  }
  EXPECT_EQ(terminal.Written(), "");
}

TEST(SuggestionTest, ClosestWordIsALikelyTypo) {
  struct Case {
    const char* word;
    std::optional<std::string> closest;
  };
  const std::vector<std::string> commands = {"song", "search", "sandbox", "cloud", "radio"};
  const Case cases[] = {
      {"sgn", "song"},        {"serach", "search"},     {"clod", "cloud"},
      {"sanbdox", "sandbox"}, {"xyzzyq", std::nullopt}, {"r", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ClosestWord(c.word, commands), c.closest) << c.word;
  }
  EXPECT_EQ(EditDistance("", "abc"), 3u);
  EXPECT_EQ(EditDistance("kitten", "sitting"), 3u);
  EXPECT_EQ(EditDistance("link", "link"), 0u);
}

// A small tree like the tool's: a group that needs a subcommand, a command with a positional,
// an option with a value and a flag.
struct SmallTree {
  SmallTree() : app("test", "lumo") {
    app.add_option("--db", db);
    app.add_flag("--json", json);
    app.require_subcommand(1);
    CLI::App* song = app.add_subcommand("song", "");
    song->require_subcommand(1);
    song->add_subcommand("link", "")->add_option("ID", id);
    app.add_subcommand("splash", "");
  }
  CLI::App app;
  std::string db;
  std::string id;
  bool json = false;
};

TEST(SuggestionTest, UnknownCommandFollowsTheTree) {
  SmallTree tree;
  struct Case {
    std::vector<std::string> words;
    const char* message_part;  // nullptr: not an unknown command
  };
  const Case cases[] = {
      {{"sgn", "link", "1"}, "unknown command \"sgn\"; did you mean \"song\"?"},
      {{"song", "lnk", "1"}, "unknown command \"lnk\"; did you mean \"link\"?"},
      {{"--db", "song", "splash"}, nullptr},  // "song" is the value of --db
      {{"--db=x", "sgn"}, "unknown command \"sgn\""},
      {{"--json", "qqqqqq"}, "unknown command \"qqqqqq\"\n"},
      {{"song", "link", "anything"}, nullptr},
      {{}, nullptr},
  };
  for (const Case& c : cases) {
    const std::optional<std::string> message = UnknownCommand(tree.app, c.words);
    if (!c.message_part) {
      EXPECT_FALSE(message) << *message;
      continue;
    }
    ASSERT_TRUE(message);
    EXPECT_NE(message->find(c.message_part), std::string::npos) << *message;
  }
}

TEST(CompletionTest, ScriptCompletesEachLevelOfTheTree) {
  SmallTree tree;
  const std::string bash = CompletionScript(tree.app, "bash");
  EXPECT_NE(bash.find("\"lumo\") words=\"song splash --help --db --json\""), std::string::npos)
      << bash;
  EXPECT_NE(bash.find("\"lumo song\") words=\"link --help --db --json\""), std::string::npos)
      << bash;
  EXPECT_NE(bash.find("complete -F _lumo_complete lumo"), std::string::npos);
  const std::string zsh = CompletionScript(tree.app, "zsh");
  EXPECT_NE(zsh.find("bashcompinit"), std::string::npos);
  EXPECT_EQ(CompletionScript(tree.app, "fish"), "");
}

// The answer's own code, read at its full size: the library reads a code beyond 32 bits as
// success, and the tool must not.
TEST(ServiceCodeTest, AnswerCodeIsReadWhateverItsSize) {
  const std::pair<const char*, std::optional<int64_t>> cases[] = {
      {R"({"error_code":22000})", 22000},
      {R"({"error_code":-1})", -1},
      {R"({"error_code":4294989296})", int64_t{4294989296}},
      {R"({"error_code":18446744073709551615})", INT64_MAX},
      {R"({"error_code":"22000"})", std::nullopt},
      {R"({"error_code":22000.5})", std::nullopt},
      {R"({"result":{}})", std::nullopt},
      {"[22000]", std::nullopt},
      {"<html>502</html>", std::nullopt},
  };
  for (const auto& [body, code] : cases) EXPECT_EQ(AnswerCode(body), code) << body;
  EXPECT_EQ(DescribeServiceError(4294989296, R"({"error_msg":"x"})"),
            "service code 4294989296 (x)");
}

// A signature answer is checked before the PUT it authorises goes anywhere.
TEST(StorePutTest, OnlyWhatTheSignatureMayAuthoriseIsSent) {
  const std::string kRoute = "store.lumo.example:80:127.0.0.1:4000";
  const SignedPut good{"store.lumo.example",
                       "cloud/ab12.mp3",
                       5,
                       "application/octet-stream",
                       "Mon, 07 Dec 2026 06:00:00 GMT",
                       "QCS sig"};
  struct Case {
    const char* what;
    std::function<void(SignedPut&)> change;
    const char* refusal;  // nullptr: sent
  };
  const Case cases[] = {
      {"as signed", [](SignedPut&) {}, nullptr},
      {"host in capitals", [](SignedPut& p) { p.host = "STORE.lumo.example"; }, nullptr},
      {"CR LF in Authorization", [](SignedPut& p) { p.authorization = "QCS sig\r\nX-Smuggled: 1"; },
       "the signature's Authorization holds a control character"},
      {"LF in the date", [](SignedPut& p) { p.date += "\n"; },
       "the signature's x-qcs-date holds a control character"},
      {"NUL in the type", [](SignedPut& p) { p.content_type = std::string("a\0b", 3); },
       "the signature's Content-Type holds a control character"},
      {"user info in the host", [](SignedPut& p) { p.host = "user:pass@127.0.0.1"; },
       "the signature names the host \"user:pass@127.0.0.1\", not the object store "
       "store.lumo.example"},
      {"another name", [](SignedPut& p) { p.host = "evil.example"; },
       "the signature names the host \"evil.example\", not the object store store.lumo.example"},
      {"a port", [](SignedPut& p) { p.host = "store.lumo.example:8080"; },
       "the signature names the host \"store.lumo.example:8080\", not the object store "
       "store.lumo.example"},
      {"shorter", [](SignedPut& p) { p.content_length = 4; },
       "the signature is for 4 bytes; the file has 5"},
      {"longer", [](SignedPut& p) { p.content_length = 1005; },
       "the signature is for 1005 bytes; the file has 5"},
      {"none", [](SignedPut& p) { p.content_length = 0; },
       "the signature is for 0 bytes; the file has 5"},
      {"climbing object", [](SignedPut& p) { p.object = "../../etc/x?y=1"; },
       "the object name \"../../etc/x?y=1\" is not a path"},
      {"empty object", [](SignedPut& p) { p.object.clear(); },
       "the object name \"\" is not a path"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SignedPut signed_put = good;
    c.change(signed_put);
    const auto made = MakeStorePut(signed_put, "bytes", sandbox::kObjectStoreHost, kRoute);
    if (c.refusal) {
      ASSERT_TRUE(std::holds_alternative<std::string>(made));
      EXPECT_EQ(std::get<std::string>(made), c.refusal);
      continue;
    }
    ASSERT_TRUE(std::holds_alternative<DirectRequest>(made)) << std::get<std::string>(made);
    const DirectRequest& put = std::get<DirectRequest>(made);
    EXPECT_EQ(put.method, "PUT");
    EXPECT_EQ(put.url, "http://store.lumo.example/cloud/ab12.mp3");
    EXPECT_EQ(put.body, "bytes");
    EXPECT_EQ(put.connect_to, kRoute);
    EXPECT_EQ(put.max_answer_bytes, kStoreAnswerLimit);
  }
  EXPECT_EQ(std::get<std::string>(MakeStorePut(good, "bytes", sandbox::kObjectStoreHost, "")),
            "no route to the object store store.lumo.example");

  const std::pair<const char*, const char*> paths[] = {
      {"cloud/ab12.mp3", "cloud/ab12.mp3"},
      {"cloud/a b?c#d%e.mp3", "cloud/a%20b%3Fc%23d%25e.mp3"},
      {"cloud/周.mp3", "cloud/%E5%91%A8.mp3"},
      {"cloud/../x", ""},
      {"./x", ""},
      {"cloud//x", ""},
      {"cloud/", ""},
      {"/cloud/x", ""},
  };
  for (const auto& [object, path] : paths) EXPECT_EQ(ObjectPath(object), path) << object;
}

// Text from the service reaches a terminal with nothing the terminal would obey.
TEST(ReadableTest, ControlCharactersAreShownNotObeyed) {
  const std::pair<std::string, std::string> cases[] = {
      {"plain 周杰伦 & Café", "plain 周杰伦 & Café"},
      {"\x1b[2J\x1b]0;owned\x07", "\\x1B[2J\\x1B]0;owned\\x07"},
      {"line\r\nlumo: forged", "line\\r\\nlumo: forged"},
      {"tab\there\x7f", "tab\\there\\x7F"},
      {"\xc2\x9b"
       "31m",
       "\\u009B31m"},                    // C1 CSI
      {"\xc2\xa0nbsp", "\xc2\xa0nbsp"},  // U+00A0 is no control
  };
  for (const auto& [text, shown] : cases) EXPECT_EQ(Printable(text), shown) << shown;

  Report report;
  report.Text("title", "\x1b[31mred")
      .Table("songs",
             [] {
               web::json::value rows = web::json::value::array(1);
               rows[0] = web::json::value::object();
               rows[0]["title"] = web::json::value::string("a\nb");
               return rows;
             }(),
             {"title"});
  const std::string text = report.ToText();
  EXPECT_EQ(text.find('\x1b'), std::string::npos) << text;
  EXPECT_NE(text.find("a\\nb"), std::string::npos) << text;
}

TEST(ReadableTest, UnitsForPeople) {
  struct Case {
    std::string text;
    std::string expected;
  };
  const Case cases[] = {
      {ReadableBytes(0), "0 B"},
      {ReadableBytes(1023), "1023 B"},
      {ReadableBytes(1536), "1.5 KB"},
      {ReadableBytes(10'066'329), "9.6 MB"},
      {ReadableBytes(64ull * 1024 * 1024), "64 MB"},
      {ReadableBytes(3ull << 30), "3.0 GB"},
      {ReadableDuration(0), "0:00"},
      {ReadableDuration(65), "1:05"},
      {ReadableDuration(252), "4:12"},
      {ReadableDuration(3600 + 61), "1:01:01"},
      {ReadableTime(0), "1970-01-01 00:00:00 UTC"},
      {ReadableTime(1'800'000'000), "2027-01-15 08:00:00 UTC"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.text, c.expected);
}

TEST(ReportTest, TextShowsWhatThereIsAndJsonKeepsEverything) {
  web::json::value rows = web::json::value::array(2);
  rows[0] = OrderedObject();
  rows[0]["id"] = web::json::value::string("");
  rows[0]["name"] = web::json::value::string("");
  rows[0]["hidden"] = web::json::value::string("x");
  rows[1] = OrderedObject();
  rows[1]["id"] = web::json::value::string("7");
  rows[1]["name"] = web::json::value::string("seven");
  struct Case {
    const char* name;
    Report report;
    std::string text;
    std::string json;
  };
  Case cases[] = {
      {"nothing", Report().Table("songs", web::json::value::array(), {"id"}).List("ids", {}), "",
       R"({"songs":[],"ids":[]})"},
      {"blank row left out", Report().Table("rows", rows, {"id", "name"}),
       "rows (1):\n  id  name\n  7   seven\n",
       R"({"rows":[{"id":"","name":"","hidden":"x"},{"id":"7","name":"seven"}]})"},
      {"units", Report().Bytes("size", 2048).Seconds("length", 61).Kbps("rate", 320),
       "size    2.0 KB\nlength  1:01\nrate    320 kbit/s\n",
       R"({"size":2048,"length":61,"rate":320})"},
      {"json only",
       Report().JsonOnly("raw", web::json::value::number(1)).Text("shown", std::string("yes")),
       "shown  yes\n", R"({"raw":1,"shown":"yes"})"},
      {"empty section", Report().Section("inner", Report().Text("empty", std::string())), "",
       R"({"inner":{"empty":""}})"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.report.ToText(), c.text) << c.name;
    EXPECT_EQ(c.report.ToJson().serialize(), c.json) << c.name;
  }
}

TEST(ReportTest, RadioSongsGetTheTitlesTheAnswerCarried) {
  const std::wstring answer =
      LR"({"error_code":22000,"result":{"songlist":[{"songid":"1","title":"One","artist":"A"},)"
      LR"({"songid":2,"title":"Two","artist":"B"}]}})";
  Report with_titles;
  AddRadioSongs(with_titles, {L"1", L"2", L"3"}, answer);
  EXPECT_EQ(with_titles.ToText(),
            "songs (3):\n  song_id  title  artist\n  1        One    A\n  2        Two    B\n"
            "  3\n");
  EXPECT_EQ(with_titles.ToJson().at("song_ids").size(), 3u);
  Report ids_only;
  AddRadioSongs(ids_only, {L"1"}, L"not json");
  EXPECT_EQ(ids_only.ToText(), "song_ids (1):\n  1\n");
}

TEST(TransportWordsTest, FailuresInPlainWords) {
  struct Case {
    int code;
    const char* words;
  };
  const Case cases[] = {
      {7, "nothing listens on 127.0.0.1:9; start one with `lumo sandbox serve`"},
      {28, "no answer within 12 s"},
      {52, "the server closed the connection without answering"},
      {18, "the answer was cut short"},
      {56, "no answer: Recv failure"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(
        DescribeTransportFailure(c.code, "Recv failure", "127.0.0.1:9", std::chrono::seconds(12)),
        c.words);
  }
}

TEST(MaskingTest, TokensAreMaskedByTheLibrarysRule) {
  struct Case {
    const char* text;
    const char* masked;
  };
  const Case cases[] = {
      {"http://h/p?a=1&kwtok=abc&b=2", "http://h/p?a=1&kwtok=***&b=2"},
      {"KWTOK=abc; other=1", "KWTOK=***; other=1"},
      {"KwToK=secret", "KwToK=***"},
      {"?KWTOK=s1&kwtok=s2", "?KWTOK=***&kwtok=***"},
      {"kwtok=abc def", "kwtok=*** def"},
      {"\"kwtok=abc\"", "\"kwtok=***\""},
      {"xkwtok=abc", "xkwtok=abc"},
      {"kwtok=", "kwtok="},
      {"kwtok=林子轩&x", "kwtok=***&x"},
  };
  for (const Case& c : cases) EXPECT_EQ(MaskTokens(c.text), c.masked) << c.text;
  EXPECT_EQ(Shown("kwtok=abc", /*show_token=*/true), "kwtok=abc");
}

TEST(FileDigestTest, SpecialFilesAreRefusedWithoutReading) {
  char pattern[] = "/tmp/lumo_special_test.XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::filesystem::path dir = pattern;
  const std::string fifo = (dir / "pipe.mp3").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {fifo, dir.string(), std::string("/dev/zero")}) {
    SCOPED_TRACE(path);
    std::string error;
    EXPECT_FALSE(DigestFile(path, &error));
    EXPECT_NE(error, "");
    EXPECT_TRUE(RefuseUpload(path));
  }
  std::filesystem::remove_all(dir);
}

TEST(ServeOptionsTest, StartupLineEndsWithThePort) {
  sandbox::Options options;
  EXPECT_EQ(sandbox::StartupLine(options, 40123),
            "lumo-sandbox listening on http://127.0.0.1:40123");
}

}  // namespace
}  // namespace lumo::cli
