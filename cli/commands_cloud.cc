// Cloud storage: the whole upload of a local file as a host runs it (check, signature, the PUT
// to the object store, record, check again), each of its steps on its own, and the quota.
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <variant>

#include "base/string_utils.h"
#include "commands.h"
#include "describe.h"
#include "direct_http.h"
#include "exchange_watch.h"
#include "file_digest.h"
#include "lumoapi/cloud/check_file.h"
#include "lumoapi/cloud/expand.h"
#include "lumoapi/cloud/record.h"
#include "lumoapi/cloud/signature.h"
#include "report.h"
#include "sandbox/server.h"
#include "service_codes.h"
#include "store_put.h"

namespace lumo::cli {
namespace {

using base::string_utils::ToUtf16;
using base::string_utils::ToUtf8;
using lumoapi::cloud::CheckFile;
using lumoapi::cloud::Expand;
using lumoapi::cloud::Record;
using lumoapi::cloud::Signature;

// --- The steps ---

struct FileArgs {
  std::string path;
};

// What Record says about the song besides its file.
struct SongArgs : FileArgs {
  std::string link;  // cloud record only: the stored file's link
  std::string title;
  std::string artist;
  std::string album;
  std::string song_id;
  int32_t bitrate = 0;
  uint32_t duration = 0;  // seconds
};

// The file's digests, or the exit status after an error line. With `bytes`, the file's bytes
// too, read in the same pass.
std::optional<FileDigest> Digest(Session& session, const std::string& operation,
                                 const std::string& path, int* exit, std::string* bytes = nullptr) {
  std::string error;
  std::optional<FileDigest> digest = DigestFile(path, &error, bytes);
  if (!digest) {
    *exit = session.output().Fail(operation, error, kExitUsageError);
  } else if (digest->ext.empty()) {
    // The service files songs by extension; Record could not even be sent.
    *exit = session.output().Fail(operation, path + " has no file extension (such as .mp3)",
                                  kExitUsageError);
    digest.reset();
  }
  return digest;
}

CheckFile MakeCheck(const FileDigest& digest) {
  return CheckFile(ToUtf16(digest.md5), ToUtf16(digest.slice_md5), ToUtf16(digest.ext), digest.size,
                   digest.crc32);
}

Record MakeRecord(Session& session, const SongArgs& args, const FileDigest& digest,
                  const std::wstring& link) {
  auto song = std::make_shared<utilities::SongInfo>();
  song->song_id = ToUtf16(args.song_id);
  song->title = ToUtf16(args.title.empty() ? std::filesystem::u8path(args.path).stem().u8string()
                                           : args.title);
  song->author = ToUtf16(args.artist);
  song->album_title = ToUtf16(args.album);
  auto file = std::make_shared<utilities::SongFile>();
  file->path = ToUtf16(args.path);
  file->file_size = digest.size;
  file->duration_ms = args.duration * 1000;
  file->bitrate = args.bitrate;
  song->files.push_back(file);
  return Record(session.token(), ToUtf16(digest.md5), link, song);
}

// PUTs `bytes` (the file as digested) with the headers the signature answer gave, once they
// pass the checks of MakeStorePut. Nothing on success; otherwise the exit status after an error
// line.
std::optional<int> PutToStore(Session& session, std::string bytes, const Signature& signature,
                              Report& report) {
  const SignedPut signed_put{ToUtf8(signature.host),   ToUtf8(signature.object),
                             signature.content_length, ToUtf8(signature.content_type),
                             ToUtf8(signature.date),   ToUtf8(signature.authorization)};
  std::variant<DirectRequest, std::string> made =
      MakeStorePut(signed_put, std::move(bytes), sandbox::kObjectStoreHost,
                   session.route().RouteFor(sandbox::kObjectStoreHost));
  if (const auto* refused = std::get_if<std::string>(&made)) {
    session.output().Print(report);
    return session.output().Fail("cloud upload: put", "refused: " + *refused, kExitServiceError);
  }
  DirectRequest& put = std::get<DirectRequest>(made);
  put.timeout = session.options().timeout();
  put.verbose = session.options().verbose > 0;
  put.show_token = session.options().show_token;
  const DirectResult result = SendDirect(put);
  if (result.answered) {
    Report step;
    step.Text("url", put.url).Int("http_status", result.http_status);
    report.Section("put", step);
    if (result.http_status >= 200 && result.http_status <= 299) return std::nullopt;
  }
  session.output().Print(report);
  if (!result.answered) {
    return session.output().Fail("cloud upload: put",
                                 DescribeTransportFailure(result.error_code, result.error,
                                                          session.route().target(), put.timeout),
                                 kExitTransportError);
  }
  // Without a code of the store, the HTTP status is all there is.
  const std::optional<int64_t> code = AnswerCode(result.body);
  if (!code) {
    return session.output().Fail("cloud upload: put",
                                 "HTTP status " + std::to_string(result.http_status),
                                 kExitTransportError);
  }
  return session.output().Fail("cloud upload: put", DescribeServiceError(*code, result.body),
                               kExitServiceError);
}

// --- Commands ---

int RunUpload(Session& session, const SongArgs& args) {
  if (auto exit_status = session.RequireToken("cloud upload")) return *exit_status;
  int exit = kExitOk;
  std::string bytes;
  std::optional<FileDigest> digest = Digest(session, "cloud upload", args.path, &exit, &bytes);
  if (!digest) return exit;
  Report report;
  report.Section("file", DescribeLocalFile(args.path, *digest));
  // Each step's answer goes into the report; a failed step prints what came before it.
  auto step = [&](lumoapi::RequestBase& request, const std::string& name) -> std::optional<int> {
    auto result = session.Call(request, "cloud upload: " + name);
    if (result && *result != kExitOk) session.output().Print(report);
    return result;
  };

  CheckFile check = MakeCheck(*digest);
  if (auto exit_status = step(check, "check")) return *exit_status;
  report.Section("check", DescribeCheck(check));
  if (!check.song_id.empty()) {
    report.Flag("already_stored", true).Text("song_id", check.song_id);
    return session.output().Print(report);
  }

  Signature signature(check.object, digest->size, ToUtf16(digest->md5));
  if (auto exit_status = step(signature, "signature")) return *exit_status;
  report.Section("signature", DescribeSignature(signature));

  if (auto exit_status = PutToStore(session, std::move(bytes), signature, report)) {
    return *exit_status;
  }

  Record record = MakeRecord(session, args, *digest, check.file_link);
  if (auto exit_status = step(record, "record")) return *exit_status;
  report.Section("record", DescribeRecord(record));

  CheckFile recheck = MakeCheck(*digest);
  if (auto exit_status = step(recheck, "check again")) return *exit_status;
  report.Section("check_again", DescribeCheck(recheck));
  report.Flag("already_stored", false).Text("song_id", recheck.song_id);
  return session.output().Print(report);
}

int RunCheck(Session& session, const FileArgs& args) {
  int exit = kExitOk;
  std::optional<FileDigest> digest = Digest(session, "cloud check", args.path, &exit);
  if (!digest) return exit;
  CheckFile check = MakeCheck(*digest);
  if (auto result = session.Call(check, "cloud check")) {
    return *result;
  }
  Report report;
  report.Section("file", DescribeLocalFile(args.path, *digest))
      .Section("check", DescribeCheck(check))
      .Flag("stored", !check.song_id.empty());
  return session.output().Print(report);
}

struct SignatureArgs {
  std::string object;
  uint64_t length = 0;
  std::string md5;
};

int RunSignature(Session& session, const SignatureArgs& args) {
  Signature signature(ToUtf16(args.object), args.length, ToUtf16(args.md5));
  if (auto result = session.Call(signature, "cloud signature")) return *result;
  return session.output().Print(DescribeSignature(signature));
}

int RunRecord(Session& session, const SongArgs& args) {
  if (auto result = session.RequireToken("cloud record")) return *result;
  int exit = kExitOk;
  std::optional<FileDigest> digest = Digest(session, "cloud record", args.path, &exit);
  if (!digest) return exit;
  Record record = MakeRecord(session, args, *digest, ToUtf16(args.link));
  if (auto result = session.Call(record, "cloud record")) return *result;
  return session.output().Print(DescribeRecord(record));
}

int RunQuota(Session& session, const NoArgs&) {
  if (auto result = session.RequireToken("cloud quota")) return *result;
  Expand expand(session.token());
  return CallAndPrint(session, expand, "cloud quota", DescribeQuota);
}

// Refuses, before anything is sent, what cannot be uploaded: a missing, empty or too large file,
// a directory, a device or a FIFO.
const CLI::Validator kUploadableFile(
    [](const std::string& path) { return RefuseUpload(path).value_or(std::string()); }, "");

void AddFileOption(CLI::App& command, FileArgs& args) {
  command.add_option("FILE", args.path, "The song file on this computer (at most 64 MiB)")
      ->type_name("FILE")
      ->required()
      ->check(kUploadableFile);
}

// What Record sends about the song, besides the file's own facts.
void AddSongOptions(CLI::App& command, SongArgs& args) {
  AddFileOption(command, args);
  command.add_option("--title", args.title, "The song's title (default: the file's name)");
  command.add_option("--artist", args.artist, "The song's artist");
  command.add_option("--album", args.album, "The song's album");
  command.add_option("--song-id", args.song_id, "The catalogue's id of the song, when known")
      ->check(kNumericId);
  command.add_option("--bitrate", args.bitrate, "The file's bit rate in kbit/s (0 to 100000)")
      ->check(Within(0, 100000));
  command.add_option("--duration", args.duration, "The song's length in seconds (0 to 86400)")
      ->check(Within(0, 86400));
}

}  // namespace

void AddCloudCommands(CLI::App& app, Tool& tool) {
  CLI::App* cloud = AddGroup(app, "cloud", "The user's cloud storage");

  auto upload_args = std::make_shared<SongArgs>();
  CLI::App* upload = AddCommand(*cloud, tool, "upload",
                                "Put a song file into the cloud, step by step as the player does",
                                upload_args, &RunUpload);
  AddSongOptions(*upload, *upload_args);
  upload->footer(
      "Steps: compute the file's MD5, the MD5 of its first 256 KiB, its CRC-32 and extension; "
      "check whether the service already has the file (then stop); get the upload's signed "
      "headers; PUT the file to the object store with them; record the song; check again, "
      "which now finds it. Each step's answer is shown; a failed step ends the upload.");

  auto check_args = std::make_shared<FileArgs>();
  AddFileOption(*AddCommand(*cloud, tool, "check",
                            "Whether the service already has a file, and where it would store it",
                            check_args, &RunCheck),
                *check_args);

  auto signature_args = std::make_shared<SignatureArgs>();
  CLI::App* signature =
      AddCommand(*cloud, tool, "signature",
                 "The headers that authorise one PUT of an object to the object store",
                 signature_args, &RunSignature);
  signature->add_option("OBJECT", signature_args->object, "The object key (from cloud check)")
      ->required();
  signature->add_option("LENGTH", signature_args->length, "The file's length in bytes")
      ->required()
      ->check(Within(0, static_cast<int64_t>(kUploadLimit)));
  signature->add_option("MD5", signature_args->md5, "The file's MD5 in hexadecimal")->required();

  auto record_args = std::make_shared<SongArgs>();
  CLI::App* record = AddCommand(*cloud, tool, "record",
                                "Register a file already in the object store as a cloud song",
                                record_args, &RunRecord);
  AddSongOptions(*record, *record_args);
  record->add_option("--link", record_args->link, "The stored file's link (from cloud check)")
      ->required();

  AddCommand(*cloud, tool, "quota", "How many songs the cloud holds and may hold",
             std::make_shared<NoArgs>(), &RunQuota)
      ->alias("expand");
}

}  // namespace lumo::cli
