// The sandbox under load: 64 clients at once for about 20 seconds, mixing valid reads and writes
// of one user's song lists and favourites with garbage (random bytes, cut requests and bodies,
// oversized headers, malformed request lines). Afterwards the server must still answer, and its
// state, live and in its database file, must be exactly what the successful writes made it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "raw_connection.h"
#include "refusal.h"
#include "sandbox/server.h"
#include "scratch_folder.h"
#include "test_client.h"

namespace lumo::sandbox::testing {
namespace {

using namespace std::chrono_literals;

constexpr int kClients = 64;
constexpr auto kDuration = 20s;
constexpr size_t kListsPerClient = 3;
constexpr int kSongsPerClient = 8;
constexpr uint32_t kSeed = 4064;

Response ListCall(Client& client, const std::string& method, const Params& params) {
  return client.Get(EncryptedTarget("norda.lumo.ugcdiy." + method, params), kOrdinaryUserToken);
}

Response FavoriteCall(Client& client, const std::string& method, Params params) {
  params.insert(params.begin(), {"kwtok", kOrdinaryUserToken});
  return client.Get(PlainTarget("norda.lumo.favorite." + method, params));
}

// Every list (id -> title) and every favourite song of the ordinary user, page by page.
using Lists = std::map<std::string, std::string>;
std::pair<Lists, std::set<std::string>> AllOfTheUser(Client& client) {
  std::pair<Lists, std::set<std::string>> all;
  for (int page = 0, more = 1; more == 1 && page < 40; ++page) {
    Response answer =
        ListCall(client, "userList",
                 {{"offset", std::to_string(page * 50)}, {"source", "0"}, {"type", "10"}});
    if (answer.error_code() != code::kOk) {
      ADD_FAILURE() << answer.body;
      break;
    }
    for (const auto& item : answer.json.at(U("result")).at(U("listinfo")).as_array()) {
      all.first[Text(item.at(U("list_id")))] = Text(item.at(U("list_title")));
    }
    more = answer.json.at(U("result")).at(U("havemore")).as_integer();
  }
  for (int page = 0, more = 1; more == 1 && page < 200; ++page) {
    Response answer =
        FavoriteCall(client, "getFavoriteSong", {{"pn", std::to_string(page * 50)}, {"rn", "50"}});
    if (answer.error_code() != code::kOk) {
      ADD_FAILURE() << answer.body;
      break;
    }
    for (const auto& item : answer.json.at(U("result")).as_array()) {
      all.second.insert(Text(item.at(U("song_id"))));
    }
    more = answer.json.at(U("havemore")).as_integer();
  }
  return all;
}

// The songs one client adds and removes as favourites: free songs no other client touches.
std::vector<std::string> SongsOf(int client) {
  std::vector<std::string> songs;
  for (int k = 0; static_cast<int>(songs.size()) < kSongsPerClient && k < 40; ++k) {
    const int i = 1000 + client + kClients * k;  // the seed's i-th song
    if (i % 29 == 0 || i % 17 == 0) continue;    // paid or blocked: never a favourite
    songs.push_back(std::to_string(100000 + i));
  }
  return songs;
}

// Bytes no valid client sends. `complete`: a whole request, which the server must refuse with a
// 4xx answer or by closing; otherwise the server waits for the rest, and the client hangs up.
struct Garbage {
  std::string bytes;
  bool complete;
};

Garbage MakeGarbage(std::mt19937& random) {
  switch (random() % 6) {
    case 0: {
      std::string bytes(1 + random() % 2000, '\0');
      for (char& c : bytes) c = static_cast<char>(random());
      return {bytes, false};
    }
    case 1: {  // a valid request cut anywhere
      const std::string full = RequestText(
          "GET", PlainTarget("norda.lumo.favorite.getFavoriteSong", {{"kwtok", "x"}, {"pn", "0"}}));
      return {full.substr(0, random() % full.size()), false};
    }
    case 2:  // a body shorter than its length says
      return {RequestText("POST", "/v1/restserver/lumo?method=x", "Content-Length: 5000",
                          std::string(random() % 100, 'b')),
              false};
    case 3:
      return {RequestText("GET", "/v1/restserver/lumo",
                          "X-Big: " + std::string(70000 + random() % 10000, 'v')),
              true};
    case 4:
      return {RequestText(random() % 2 ? "BREW" : "G\x01T", "/v1/restserver/lumo?method=x"), true};
    default:
      return {"GET /v1/restserver/lumo?method=" + std::string(random() % 300, '%') +
                  " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: -5\r\n\r\n",
              true};
  }
}

// What one client believes the state is, from the answers to its own writes.
struct ClientState {
  std::map<std::string, std::string> lists;  // created and not deleted: id -> title
  std::set<std::string> favorites;           // of SongsOf(client)
  int valid = 0;
  int garbage = 0;
  int unexpected = 0;        // answers a valid request should never get
  int garbage_accepted = 0;  // garbage answered other than with a refusal
};

void RunClient(uint16_t port, int id, uint32_t seed, std::chrono::steady_clock::time_point end,
               ClientState* state) {
  std::mt19937 random(seed + id);
  Client client(port);
  const std::vector<std::string> songs = SongsOf(id);
  for (int n = 0; std::chrono::steady_clock::now() < end && n < 100000; ++n) {
    const unsigned pick = random() % 10;
    if (pick < 3) {
      const Garbage garbage = MakeGarbage(random);
      RawConnection raw(port);
      // The server may close while a long header is still being sent, and that is a refusal.
      if (raw.connected() && raw.Send(garbage.bytes) && garbage.complete) {
        const int status = raw.ReadAnswer().status;
        if (status != 0 && (status < 400 || status > 499)) ++state->garbage_accepted;
      }
      ++state->garbage;
      continue;
    }
    ++state->valid;
    int code = 0;
    if (pick < 5) {
      code = ListCall(client, "userList", {{"offset", "0"}, {"source", "0"}, {"type", "10"}})
                 .error_code();
    } else if (pick < 7) {
      if (state->lists.size() < kListsPerClient) {
        const std::string title = "stress-" + std::to_string(id) + "-" + std::to_string(n);
        Response made = ListCall(client, "addSongList", {{"title", title}, {"process", "1"}});
        code = made.error_code();
        if (code == code::kOk)
          state->lists[Text(made.json.at(U("result")).at(U("list_id")))] = title;
      } else {
        const auto oldest = state->lists.begin();
        code = ListCall(client, "delList", {{"list_id", oldest->first}}).error_code();
        if (code == code::kOk) state->lists.erase(oldest);
      }
    } else {
      const std::string& song = songs[random() % songs.size()];
      if (state->favorites.count(song) == 0) {
        code = FavoriteCall(client, "addSongFavorite", {{"songId", song}, {"time", "1700000000"}})
                   .error_code();
        if (code == code::kOk) state->favorites.insert(song);
      } else {
        code = FavoriteCall(client, "delSongFavorites", {{"songId", song}}).error_code();
        if (code == code::kOk) state->favorites.erase(song);
      }
    }
    if (code != code::kOk) ++state->unexpected;
  }
}

// LUMO_STRESS_SANDBOX_SECONDS (1..3600) asks for a longer or shorter run.
std::chrono::seconds Duration() {
  const char* text = std::getenv("LUMO_STRESS_SANDBOX_SECONDS");
  const long seconds = text != nullptr ? std::strtol(text, nullptr, 10) : 0;
  return seconds >= 1 && seconds <= 3600 ? std::chrono::seconds(seconds) : kDuration;
}

TEST(SandboxStressTest, StateHoldsUnderValidAndGarbageTraffic) {
  const ScratchFolder directory("lumo-stress-");
  ASSERT_FALSE(directory.path().empty());
  Options options;
  options.threads = 4;
  options.db_path = (directory.path() / "state.db").u8string();
  auto server = std::make_unique<Server>(options);
  std::string error;
  ASSERT_TRUE(server->Start(&error)) << error;
  const uint16_t port = server->port();
  std::cout << "stress seed: " << kSeed << std::endl;

  Client reader(port);
  const auto [seed_lists, seed_favorites] = AllOfTheUser(reader);
  std::vector<ClientState> states(kClients);
  for (int id = 0; id < kClients; ++id) {
    for (const std::string& song : SongsOf(id)) {
      if (seed_favorites.count(song) != 0) states[id].favorites.insert(song);
    }
  }

  const std::chrono::seconds duration = Duration();
  const auto end = std::chrono::steady_clock::now() + duration;
  std::vector<std::thread> clients;
  clients.reserve(kClients);
  for (int id = 0; id < kClients; ++id) {
    clients.emplace_back(RunClient, port, id, kSeed, end, &states[id]);
  }
  for (std::thread& client : clients) client.join();

  ClientState sum;
  auto expected = std::make_pair(seed_lists, seed_favorites);
  for (int id = 0; id < kClients; ++id) {
    sum.valid += states[id].valid;
    sum.garbage += states[id].garbage;
    sum.unexpected += states[id].unexpected;
    sum.garbage_accepted += states[id].garbage_accepted;
    expected.first.insert(states[id].lists.begin(), states[id].lists.end());
    for (const std::string& song : SongsOf(id)) expected.second.erase(song);
    expected.second.insert(states[id].favorites.begin(), states[id].favorites.end());
  }
  std::cout << kClients << " clients for " << duration.count() << " s: " << sum.valid
            << " valid requests, " << sum.garbage << " garbage; " << expected.first.size()
            << " lists and " << expected.second.size() << " favourites at the end" << std::endl;
  EXPECT_EQ(sum.unexpected, 0) << "valid requests refused";
  EXPECT_EQ(sum.garbage_accepted, 0) << "garbage answered as if it were a request";
  EXPECT_GT(sum.valid, 0);

  // Still serving, on a new connection, and the state is what the successful writes left.
  Client after(port);
  EXPECT_EQ(after.Send("GET", "/_sandbox/rules", {}).status, 200);
  EXPECT_EQ(AllOfTheUser(after), expected);
  // And that is what the file holds: a new server on it reads the same.
  server.reset();
  Server reopened(options);
  ASSERT_TRUE(reopened.Start(&error)) << error;
  Client again(reopened.port());
  EXPECT_EQ(AllOfTheUser(again), expected);
}

}  // namespace
}  // namespace lumo::sandbox::testing
