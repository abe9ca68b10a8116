// The pieces of the tool that a run of the binary shows poorly: the task runner with a fake task,
// the typo suggestions, the checks of a signature answer, readable units, token masking, and its
// readings of addresses and files against sources that do not share its code.
#include <gtest/gtest.h>

#include <CLI/CLI.hpp>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "address.h"
#include "base/string_utils.h"
#include "base/thread/ui_loop.h"
#include "command_line.h"
#include "command_tree.h"
#include "commands.h"
#include "completion.h"
#include "describe.h"
#include "exchange_watch.h"
#include "file_digest.h"
#include "lumoapi/request_base.h"
#include "man_page.h"
#include "options.h"
#include "platform.h"
#include "report.h"
#include "sandbox/address_form.h"
#include "sandbox/server.h"
#include "scratch_folder.h"
#include "service_codes.h"
#include "session.h"
#include "store_put.h"
#include "trace.h"

namespace lumo::cli {
namespace {

using web::json::value;

// The HTTP engine's codes for the kinds of failure (FailureKindOf): WinHTTP's on Windows
// (winhttp.h), libcurl's elsewhere (curl.h).
#ifdef _WIN32
constexpr int kRefusedCode = 12029, kTimedOutCode = 12002, kNothingCode = 12152,
              kCutShortCode = 12030, kOtherCode = 12007;
#else
constexpr int kRefusedCode = 7, kTimedOutCode = 28, kNothingCode = 52, kCutShortCode = 18,
              kOtherCode = 56;
#endif

// Sets the time zone the C library's local time uses; an empty `zone` gives back the system's.
void SetTimeZone(const char* zone) {
#ifdef _WIN32
  _putenv_s("TZ", zone);
  _tzset();
#else
  *zone ? setenv("TZ", zone, 1) : unsetenv("TZ");
  tzset();
#endif
}

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
  int ends = 0;

 private:
  void PostNextPage() {
    if (pages_ < 0) return;
    base::thread::UiLoop::Instance().Post([this] {
      if (pages_done < pages_) {
        ++pages_done;
        return PostNextPage();
      }
      ++ends;
      ends_with_task_completed_ ? task_completed(0, 22000) : completed();
    });
  }

  const int pages_;
  const bool ends_with_task_completed_;
};

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
      {-1, false, 1, kExitTransportError},  // never ends: gives up
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.pages << (c.ends_with_task_completed ? " signal" : ""));
    FakePagingTask task(c.pages, c.ends_with_task_completed);
    // Asked after each answer of the transport; this task has none.
    const std::function<size_t()> items = [&] {
      return size_t{50} * static_cast<size_t>(task.pages_done);
    };
    {
      GlobalOptions options;
      // Nothing is sent: the route only has to exist, without starting the built-in sandbox.
      options.connect_to = "127.0.0.1:1";
      options.timeout_seconds = c.timeout_seconds;
      Session session(options);
      EXPECT_EQ(c.ends_with_task_completed
                    ? session.RunTask(task, task.task_completed, "fake", items)
                    : session.RunTask(task, "fake", items),
                c.exit);
    }
    EXPECT_EQ(task.ends, c.exit ? 0 : 1);
    EXPECT_EQ(task.pages_done, std::max(c.pages, 0));
  }
}

// HOST:PORT is read in one pass whatever its length (a backtracking pattern used to overflow the
// stack on a long text).
TEST(HostPortTest, ReadsHostAndPortAndRefusesTheRest) {
  for (const std::string text : {"127.0.0.1:8080", "127.200.3.4:1"}) {
    EXPECT_TRUE(ParseHostPort(text)) << text;
    EXPECT_TRUE(IsLoopbackHostPort(text)) << text;
  }
  for (const std::string& text :
       {std::string("api.lumo.example:80"), std::string("128.0.0.1:80"),
        std::string("127.0.0.256:80"), std::string("127.0.0:80"), std::string("127.0.0.1.1:80"),
        std::string(253, 'h') + ":80", std::string("h:65535")}) {
    EXPECT_TRUE(ParseHostPort(text)) << text;
    EXPECT_FALSE(IsLoopbackHostPort(text)) << text;
  }
  for (const std::string& text :
       {std::string(), std::string(":80"), std::string("h:"), std::string("h:65536"),
        std::string("h:123456"), std::string("h:8o"), std::string("a b:1"), std::string("h:1:2"),
        std::string(254, 'h') + ":80", std::string(30000, 'a') + ":80"}) {
    EXPECT_FALSE(ParseHostPort(text)) << text.substr(0, 40);
    EXPECT_FALSE(IsLoopbackHostPort(text)) << text.substr(0, 40);
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
    bool answered;
    bool cleared;
    std::vector<std::string> events;
  };
  const Case cases[] = {
      {true, false, {"handled", "hook"}}, {false, false, {"handled"}}, {true, true, {"handled"}}};
  for (const Case& c : cases) {
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
    std::thread([&] { inner->answer(result); }).join();
    EXPECT_EQ(events, c.events) << c.answered << c.cleared;
    inner->answer = nullptr;  // it holds the watch, which holds `inner`
  }
}

TEST(SuggestionTest, UnknownCommandFollowsTheTree) {
  const std::vector<std::string> commands = {"song", "search", "sandbox", "cloud", "radio"};
  const std::pair<const char*, std::optional<std::string>> closest[] = {
      {"serach", "search"}, {"sanbdox", "sandbox"}, {"xyzzyq", std::nullopt}, {"r", std::nullopt}};
  for (const auto& [word, expected] : closest) EXPECT_EQ(ClosestWord(word, commands), expected);

  // A small tree like the tool's: a group that needs a subcommand, a command with a positional,
  // an option with a value and a flag.
  CLI::App app("test", "lumo");
  std::string db, id;
  bool json = false;
  app.add_option("--db", db);
  app.add_flag("--json", json);
  app.require_subcommand(1);
  CLI::App* song = app.add_subcommand("song", "");
  song->require_subcommand(1);
  song->add_subcommand("link", "")->add_option("ID", id);
  app.add_subcommand("splash", "");
  const std::pair<std::vector<std::string>, const char*> cases[] = {
      {{"song", "lnk", "1"}, "unknown command \"lnk\"; did you mean \"link\"?"},
      {{"--db", "song", "splash"}, nullptr},  // "song" is the value of --db
      {{"--db=x", "sgn"}, "unknown command \"sgn\"; did you mean \"song\"?"},
      {{"--json", "qqqqqq"}, "unknown command \"qqqqqq\"\n"},
      {{"song", "link", "--jsno"},
       "unknown option \"--jsno\" for \"song link\"; did you mean \"--json\"?"},
      {{"splash", "--db"}, "--db needs a value"},
      {{"song", "link", "-5"}, nullptr},  // a number, not an option
      {{"song", "link", "anything"}, nullptr},
      {{}, nullptr}};
  for (const auto& [words, expected] : cases) {
    const std::optional<std::string> message = CheckWords(app, words).problem;
    if (!expected) {
      EXPECT_FALSE(message) << *message;
    } else {
      ASSERT_TRUE(message) << expected;
      EXPECT_NE(message->find(expected), std::string::npos) << *message;
    }
  }
}

// The scripts and pages are made from the tool's own tree: every command is in each of them.
TEST(CommandTreeTest, CompletionsAndManPagesCoverEveryCommand) {
  CLI::App app("", "lumo");
  Tool tool;
  BuildCommandLine(app, tool);
  std::vector<std::string> names;
  const std::function<void(const CLI::App&)> collect = [&](const CLI::App& command) {
    for (const CLI::App* sub : Subcommands(command)) {
      names.push_back(sub->get_name());
      collect(*sub);
    }
  };
  collect(app);
  ASSERT_GT(names.size(), 40u);
  std::vector<ManPage> pages = ManPages(app, "1.0.0");
  std::string all_pages;
  for (const ManPage& page : pages) all_pages += page.text;
  for (const std::string& shell : kCompletionShells) {
    const std::string script = CompletionScript(app, shell);
    for (const std::string& name : names) {
      EXPECT_NE(script.find(" " + name), std::string::npos) << shell << ": " << name;
      EXPECT_NE(all_pages.find(RoffText(name)), std::string::npos) << name;
    }
  }
  ASSERT_EQ(pages.size(), 11u);
  EXPECT_EQ(pages[0].name, "lumo");
  EXPECT_EQ(pages.back().name, "lumo-sandbox-commands");  // lumo-sandbox(1) is the server's
  EXPECT_EQ(std::count_if(all_pages.begin(), all_pages.end(),
                          [](char c) { return static_cast<unsigned char>(c) >= 0x80; }),
            0);
  EXPECT_EQ(RoffText(".x \\ -a Café 路"), "\\&.x \\e \\-a Caf\\[u00E9] \\[u8DEF]");
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
  std::vector<std::pair<SignedPut, std::string>> cases;  // an empty text: sent
  const auto with = [&](const std::function<void(SignedPut&)>& change, const std::string& refusal) {
    SignedPut changed = good;
    change(changed);
    cases.emplace_back(changed, refusal);
  };
  with([](SignedPut&) {}, "");
  with([](SignedPut& p) { p.host = "STORE.lumo.example"; }, "");
  with([](SignedPut& p) { p.authorization = "QCS sig\r\nX-Smuggled: 1"; },
       "the signature's Authorization holds a control character");
  with([](SignedPut& p) { p.date += "\n"; },
       "the signature's x-qcs-date holds a control character");
  with([](SignedPut& p) { p.content_type = std::string("a\0b", 3); },
       "the signature's Content-Type holds a control character");
  for (const std::string host :
       {"user:pass@127.0.0.1", "evil.example", "store.lumo.example:8080"}) {
    with([&](SignedPut& p) { p.host = host; },
         "the signature names the host \"" + host + "\", not the object store store.lumo.example");
  }
  for (uint64_t length : {4, 1005, 0}) {
    with([&](SignedPut& p) { p.content_length = length; },
         "the signature is for " + std::to_string(length) + " bytes; the file has 5");
  }
  for (const std::string object : {"../../etc/x?y=1", ""}) {
    with([&](SignedPut& p) { p.object = object; },
         "the object name \"" + object + "\" is not a path");
  }
  for (const auto& [signed_put, refusal] : cases) {
    SCOPED_TRACE(refusal);
    const auto made = MakeStorePut(signed_put, "bytes", sandbox::kObjectStoreHost, kRoute);
    if (!refusal.empty()) {
      ASSERT_TRUE(std::holds_alternative<std::string>(made));
      EXPECT_EQ(std::get<std::string>(made), refusal);
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

  value rows = value::array(1);
  rows[0] = value::object();
  rows[0][JsonString("title")] = JsonText("a\nb");
  const std::string text =
      Report().Text("title", "\x1b[31mred").Table("songs", rows, {"title"}).ToText();
  EXPECT_EQ(text.find('\x1b'), std::string::npos) << text;
  EXPECT_NE(text.find("a\\nb"), std::string::npos) << text;
}

// The cells a terminal gives a text, as tables align their columns by them.
TEST(ReadableTest, DisplayWidthCountsTerminalCells) {
  const std::pair<const char*, size_t> cases[] = {
      {"abc", 3},
      {"Smörgåsbord", 11},  // precomposed letters with marks
      {"Zoë Ångström", 12},
      {"e\xCC\x81", 1},         // e and a combining acute accent
      {"\xE2\x80\x8B", 0},      // a zero-width space
      {"林子轩", 6},            // ideographs
      {"さくら", 6},            // kana
      {"\xEF\xBD\xB6", 1},      // halfwidth katakana
      {"\xEF\xBC\xA1", 2},      // a fullwidth letter
      {"한국", 4},              // Hangul syllables
      {"\xF0\xA0\x80\x80", 2},  // beyond the first plane: CJK extension B
      {"\xF0\x9F\x98\x80", 2},  // and an emoji
  };
  UseUtf8Output();  // as the tool does first: Linux measures in the C library's UTF-8 locale
  for (const auto& [text, cells] : cases) EXPECT_EQ(DisplayWidth(text), cells) << text;
}

TEST(ReadableTest, UnitsForPeople) {
  const std::pair<std::string, std::string> cases[] = {
      {ReadableBytes(0), "0 B"},
      {ReadableBytes(1023), "1023 B"},
      {ReadableBytes(1536), "1.5 KiB"},
      {ReadableBytes(10'066'329), "9.6 MiB"},
      {ReadableBytes(64ull * 1024 * 1024), "64 MiB"},
      {ReadableBytes(3ull << 30), "3.0 GiB"},
      {ReadableDuration(0), "0:00"},
      {ReadableDuration(65), "1:05"},
      {ReadableDuration(252), "4:12"},
      {ReadableDuration(3600 + 61), "1:01:01"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(text, expected);
  // Times in the local zone (eight hours east of UTC here); JSON keeps the number.
  SetTimeZone("CST-8");
  EXPECT_EQ(ReadableTime(0), "1970-01-01 08:00:00");
  EXPECT_EQ(ReadableTime(1'800'000'000), "2027-01-15 16:00:00");
  EXPECT_EQ(Report().TimeText("t", L"1800000000").TimeText("u", L"soon").ToText(),
            "t  2027-01-15 16:00:00\nu  soon\n");
  EXPECT_EQ(Serialized(Report().TimeText("t", L"1800000000").ToJson()), R"({"t":"1800000000"})");
  SetTimeZone("");
}

TEST(ReportTest, TextShowsWhatThereIsAndJsonKeepsEverything) {
  value rows = value::array(2);
  rows[0] = OrderedObject();
  rows[0][JsonString("id")] = JsonText("");
  rows[0][JsonString("name")] = JsonText("");
  rows[0][JsonString("hidden")] = JsonText("x");
  rows[1] = OrderedObject();
  rows[1][JsonString("id")] = JsonText("7");
  rows[1][JsonString("name")] = JsonText("seven");
  struct Case {
    Report report;
    std::string text;
    std::string json;
  };
  const Case cases[] = {
      {Report().Table("songs", value::array(), {"id"}).List("ids", {}), "",
       R"({"songs":[],"ids":[]})"},
      {Report().Table("rows", rows, {"id", "name"}),  // the blank row left out
       "rows (1):\n  id  name\n  7   seven\n",
       R"({"rows":[{"id":"","name":"","hidden":"x"},{"id":"7","name":"seven"}]})"},
      {Report().Bytes("size", 2048).Seconds("length", 61).Kbps("rate", 320),
       "size    2.0 KiB\nlength  1:01\nrate    320 kbit/s\n",
       R"({"size":2048,"length":61,"rate":320})"},
      {Report().JsonOnly("raw", value::number(1)).Text("shown", std::string("yes")), "shown  yes\n",
       R"({"raw":1,"shown":"yes"})"},
      {Report().Section("inner", Report().Text("empty", std::string())), "",
       R"({"inner":{"empty":""}})"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.report.ToText(), c.text) << c.json;
    EXPECT_EQ(Serialized(c.report.ToJson()), c.json);
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
  EXPECT_EQ(with_titles.ToJson().at(JsonString("song_ids")).size(), 3u);
  Report ids_only;
  AddRadioSongs(ids_only, {L"1"}, L"not json");
  EXPECT_EQ(ids_only.ToText(), "song_ids (1):\n  1\n");
}

TEST(TransportWordsTest, FailuresInPlainWords) {
  const std::pair<int, const char*> cases[] = {
      {kRefusedCode, "nothing listens on 127.0.0.1:9; start one with `lumo sandbox serve`"},
      {kTimedOutCode, "no answer within 12 s"},
      {kNothingCode, "the server closed the connection without answering"},
      {kCutShortCode, "the answer was cut short"},
      {kOtherCode, "no answer: Recv failure"},
  };
  for (const auto& [code, words] : cases) {
    EXPECT_EQ(
        DescribeTransportFailure(code, "Recv failure", "127.0.0.1:9", std::chrono::seconds(12)),
        words);
  }
}

// The library's rule (its cases are in tests/core), through the tool's UTF-8 wrapper.
TEST(MaskingTest, TokensAreMaskedByTheLibrarysRule) {
  EXPECT_EQ(MaskTokens("KWTOK=abc; x=1&kwtok=林子轩&x"), "KWTOK=***; x=1&kwtok=***&x");
  EXPECT_EQ(Shown("kwtok=abc", /*show_token=*/true), "kwtok=abc");
}

// A request in the encrypted, signed address form, whatever its method.
class EncryptedRequest : public lumoapi::RequestBase {
 public:
  EncryptedRequest() { encrypt_params = true; }

 protected:
  std::wstring GetMethodName() override { return L"norda.lumo.ugcdiy.addSongList"; }
  std::wstring BuildParams() override { return L"title=%E4%B8%AD%20%26%20x&process=1"; }
  void ParseResult(value&) override {}
};

TEST(AddressDecodingTest, DecryptsTheSignedFormAndRefusesWhatDoesNotDecrypt) {
  EncryptedRequest request;
  const std::optional<InnerText> inner =
      DecryptInnerText(base::string_utils::ToUtf8(request.BuildUrl()));
  ASSERT_TRUE(inner);
  EXPECT_EQ(inner->parameter, "param");
  EXPECT_EQ(inner->text,
            "format=json&from=qxpc&version=1.0.0&version_d=10.1.1.1"
            "&title=%E4%B8%AD%20%26%20x&process=1");

  EXPECT_EQ(SplitQuery("http://h/p?a=1+2%2B3&b=&c&=d"),
            (QueryPairs{{"a", "1+2+3"}, {"b", ""}, {"c", ""}, {"", "d"}}));
  const std::pair<const char*, const char*> undecryptable[] = {
      {"http://h/p?method=m&timestamp=1&param=bm90IGFlcw%3D%3D&sign=s", "param"},  // not AES
      {"http://h/p?method=m&timestamp=1&param=%25%25&sign=s", "param"},            // not Base64
      {"http://h/p?method=m&query=x&e=", "e"},
  };
  for (const auto& [url, parameter] : undecryptable) {
    const std::optional<InnerText> none = DecryptInnerText(url);
    ASSERT_TRUE(none) << url;
    EXPECT_EQ(none->parameter, parameter);
    EXPECT_EQ(none->text, "");
  }
}

// (Pipes and devices: lumo_posix_test.cc.)
TEST(FileDigestTest, SliceIsTheFileStartAndDirectoriesAreRefused) {
  const sandbox::testing::ScratchFolder scratch("lumo_digest_test.");
  const std::filesystem::path& dir = scratch.path();
  ASSERT_FALSE(dir.empty());
  const std::string path = (dir / "song.flac").u8string();
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
    // Against the sandbox's digest, which shares no code with the tool's.
    EXPECT_EQ(digest->md5, sandbox::Md5Hex(bytes));
    EXPECT_EQ(digest->slice_md5, sandbox::Md5Hex(bytes.substr(0, kSliceBytes)));
    EXPECT_EQ(digest->ext, "flac");
  }
  EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");

  std::string error;
  EXPECT_FALSE(DigestFile(dir.u8string(), &error));
  EXPECT_NE(error.find("is a directory"), std::string::npos) << error;
  EXPECT_TRUE(RefuseUpload(dir.u8string()));
}

}  // namespace
}  // namespace lumo::cli
