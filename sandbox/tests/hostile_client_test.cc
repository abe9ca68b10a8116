// Clients that break the rules: oversized and malformed requests, uploads the store will refuse.
// Each must end in an answer or a closed connection, and the server must go on serving everyone
// else.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "object_store.h"
#include "raw_connection.h"
#include "refusal.h"
#include "sandbox/server.h"
#include "sandbox_fixture.h"

namespace lumo::sandbox::testing {
namespace {

// Sends `pieces` on a new connection, with a pause between them so that the server reads them
// apart, and reads the answer.
RawAnswer Exchange(uint16_t port, const std::vector<std::string>& pieces,
                   std::unique_ptr<RawConnection>* kept = nullptr) {
  auto connection = std::make_unique<RawConnection>(port);
  EXPECT_TRUE(connection->connected()) << connection->error();
  for (const std::string& piece : pieces) {
    EXPECT_TRUE(connection->Send(piece));
    if (pieces.size() > 1) std::this_thread::sleep_for(std::chrono::milliseconds(30));
  }
  RawAnswer answer = connection->ReadAnswer();
  if (kept) *kept = std::move(connection);
  return answer;
}

// The server still answers a well-formed request on a fresh connection.
void ExpectServing(uint16_t port) {
  EXPECT_EQ(
      Exchange(port, {RequestText("GET", "/_sandbox/rules", "", "", LoopbackHost(port))}).status,
      200);
}

std::string Field(const std::string& name, size_t value_size) {
  return name + ": " + std::string(value_size, 'v');
}

struct Refused {
  const char* name;
  std::string request;
  int status;
  int error_code;
};

void ExpectRefused(uint16_t port, const Refused& c, bool closes) {
  SCOPED_TRACE(c.name);
  std::unique_ptr<RawConnection> connection;
  const RawAnswer answer = Exchange(port, {c.request}, &connection);
  EXPECT_EQ(answer.status, c.status) << answer.head;
  EXPECT_NE(answer.body.find(std::to_string(c.error_code)), std::string::npos) << answer.body;
  EXPECT_TRUE(!closes || connection->PeerCloses());
}

class HostileClientTest : public SandboxTest {
 protected:
  uint16_t port() { return SandboxEnvironment::port(); }
};

TEST_F(HostileClientTest, BrokenRequestsAreAnsweredThenClosed) {
  std::string many_fields;
  for (int i = 0; i < 20; ++i)
    many_fields += Field("X-Filler-" + std::to_string(i), 60000) + "\r\n";
  many_fields.resize(many_fields.size() - 2);
  const std::string megabyte(0x100000, 'x');
  const Refused cases[] = {
      {"field value of 70 KB", RequestText("GET", "/_sandbox/rules", Field("X-Big", 70000)), 431,
       code::kHeaderTooLarge},
      {"field name of 70 KB",
       RequestText("GET", "/_sandbox/rules", std::string(70000, 'n') + ": v"), 431,
       code::kHeaderTooLarge},
      {"header over 1 MiB", RequestText("GET", "/_sandbox/rules", many_fields), 431,
       code::kHeaderTooLarge},
      {"request line without a version", "GARBAGE\r\n\r\n", 400, code::kBadRequest},
      {"unknown HTTP version", "GET / HTTP/9.x\r\nHost: a\r\n\r\n", 400, code::kBadRequest},
      {"Content-Length not a number",
       RequestText("POST", "/_sandbox/rules", "Content-Length: twelve"), 400, code::kBadRequest},
      {"declared body over the limit",
       RequestText("POST", "/_sandbox/rules", "Content-Length: 2000000"), 413, code::kBodyTooLarge},
      {"chunked body over the limit",
       RequestText("POST", "/_sandbox/rules", "Transfer-Encoding: chunked") + "100000\r\n" +
           megabyte + "\r\n100000\r\n" + megabyte + "\r\n0\r\n\r\n",
       413, code::kBodyTooLarge},
  };
  for (const Refused& c : cases) {
    ExpectRefused(port(), c, /*closes=*/true);
    ExpectServing(port());
  }
}

// A slow client's request arrives a few bytes at a time; its answer is the one the request sent
// whole gets.
TEST_F(HostileClientTest, ARequestInPiecesIsReadAsAWhole) {
  const std::string host = LoopbackHost(port());
  const std::string chunked =
      RequestText("POST", "/_sandbox/rules",
                  "Content-Type: application/json\r\nTransfer-Encoding: chunked", "", host);
  const std::string plain =
      RequestText("POST", "/_sandbox/rules", "Content-Type: application/json", "{}", host);
  const std::vector<std::string> cases[] = {
      {chunked + "2\r\n{}\r\n0\r\n", "\r", "\n"},  // the last chunk in three pieces
      {chunked + "2\r\n{}\r\n0\r", "\n\r\n"},
      {chunked + "2", "\r\n{", "}\r\n", "0\r\n\r\n"},  // chunk size and data apart
      {plain.substr(0, 7), plain.substr(7, 20), plain.substr(27, plain.size() - 28),
       plain.substr(plain.size() - 1)},
  };
  const RawAnswer expected = Exchange(port(), {plain});
  ASSERT_NE(expected.status, 0);
  for (const std::vector<std::string>& pieces : cases) {
    const RawAnswer answer = Exchange(port(), pieces);
    EXPECT_EQ(answer.status, expected.status) << pieces[0] << answer.head;
    EXPECT_EQ(answer.body, expected.body);
  }
  ExpectServing(port());
}

// An upload's header is checked against its grant before any of the body is read: these send
// the header alone and get their answer. The body is checked against the granted digest.
TEST_F(HostileClientTest, UploadsAreRefusedBeforeTheirBodyAndForOtherBytes) {
  const std::string kBytes(1000, 'b');
  const std::string md5 = Md5Hex(kBytes);
  const std::string object = "/cloud/" + md5 + ".mp3";
  Response signed_answer = client().Get(
      PlainTarget("norda.lumo.cloud.signature2", {{"input_method", "PUT"},
                                                  {"object", object.substr(1)},
                                                  {"content_length", std::to_string(kBytes.size())},
                                                  {"content_md5", md5},
                                                  {"content_type", "application/octet-stream"}}));
  ASSERT_EQ(signed_answer.error_code(), code::kOk) << signed_answer.body;
  const web::json::value& grant = signed_answer.json.at(U("result"));
  const std::string signature = "x-qcs-date: " + Text(grant.at(U("x-qcs-date"))) +
                                "\r\nAuthorization: " + Text(grant.at(U("Authorization")));
  const std::string granted =
      "Content-Type: " + Text(grant.at(U("Content-Type"))) + "\r\n" + signature;
  const auto put = [&](const std::string& headers) { return RequestText("PUT", object, headers); };
  const Refused cases[] = {
      {"no Authorization", put("Content-Length: 60000000"), 403, code::kNoUploadGrant},
      {"forged Authorization", put("Authorization: QCS sandbox:00\r\nContent-Length: 60000000"),
       403, code::kNoUploadGrant},
      {"longer than granted", put(granted + "\r\nContent-Length: 60000000"), 413,
       code::kBodyTooLarge},
      {"shorter than granted", put(granted + "\r\nContent-Length: 999"), 400,
       code::kUploadLengthMismatch},
      {"no Content-Length", put(granted + "\r\nTransfer-Encoding: chunked"), 411,
       code::kLengthRequired},
      {"another Content-Type",
       put("Content-Type: text/plain\r\n" + signature + "\r\nContent-Length: 1000"), 400,
       code::kUploadHeaderMismatch},
      {"other bytes", RequestText("PUT", object, granted, std::string(kBytes.size(), 'x')), 400,
       code::kUploadMd5Mismatch},
  };
  for (const Refused& c : cases) ExpectRefused(port(), c, /*closes=*/false);
  // The grant is still unused, and the upload it grants goes through: the header alone first,
  // and the interim answer invites the body.
  RawConnection upload(port());
  ASSERT_TRUE(upload.Send(put(granted + "\r\nContent-Length: 1000\r\nExpect: 100-continue")));
  RawAnswer interim = upload.ReadAnswer();
  EXPECT_EQ(interim.status, 100) << interim.head;
  ASSERT_TRUE(upload.Send(kBytes));
  EXPECT_EQ(upload.ReadAnswer().status, 200);
}

// What a long request leaves in the log is cut; the request itself is served whole.
TEST_F(HostileClientTest, TheLogKeepsLongRequestsCut) {
  const std::string kMethod = "norda.lumo.search.catalogSug";
  EXPECT_EQ(Exchange(port(), {RequestText(
                                 "GET", PlainTarget(kMethod, {{"query", std::string(900000, 'q')}}),
                                 Field("X-Long", 60000))})
                .status,
            200);
  Response log = client().Get("/_sandbox/log?method=" + kMethod);
  ASSERT_EQ(log.error_code(), code::kOk) << log.body.substr(0, 200);
  ASSERT_EQ(log.json.at(U("entries")).size(), 1u);
  const web::json::value& entry = log.json.at(U("entries")).at(0);
  EXPECT_LE(Text(entry.at(U("target"))).size(), 4200u);
  EXPECT_LE(Text(entry.at(U("params")).at(U("query"))).size(), 4200u);
  EXPECT_LE(Text(entry.at(U("headers")).at(U("x-long"))).size(), 4200u);
  EXPECT_TRUE(entry.at(U("cut")).as_bool());
  EXPECT_LT(log.body.size(), 64u * 1024);
}

}  // namespace
}  // namespace lumo::sandbox::testing
