// Radio: songs of public channels, the personal radio and scenes, and play actions. Each answer
// is a batch of song ids; the service moves on with every call.
#include <memory>
#include <string>
#include <vector>

#include "base/string_utils.h"
#include "commands.h"
#include "describe.h"
#include "lumoapi/radio/get_private_radio_songs.h"
#include "lumoapi/radio/get_public_radio_songs.h"
#include "lumoapi/radio/get_scene_songs.h"
#include "lumoapi/radio/radio_play_action.h"
#include "report.h"
#include "sandbox/server.h"
#include "sandbox_seed.h"

namespace lumo::cli {
namespace {

using base::string_utils::ToUtf16;

// Every radio answer: what was asked for, then the songs.
int CallForSongIds(Session& session, lumoapi::RequestBase& request, const std::string& operation,
                   const std::string& asked_key, const std::wstring& asked,
                   const std::vector<std::wstring>& song_ids) {
  if (auto exit = session.Call(request, operation)) return *exit;
  Report report;
  report.Outcome(request).Text(asked_key, asked);
  AddRadioSongs(report, song_ids, request.response_text);
  return session.output().Print(report);
}

int RunChannel(Session& session, const std::string& name) {
  lumoapi::radio::GetPublicRadioSongs request(ToUtf16(name));
  return CallForSongIds(session, request, "radio channel", "channelname", request.channelname,
                        request.song_ids);
}

int RunPrivate(Session& session, const std::string& user) {
  if (auto exit = session.RequireToken("radio private")) return *exit;
  lumoapi::radio::GetPrivateRadioSongs request(
      session.route().OrSandboxDefault(ToUtf16(user), sandbox::kOrdinaryUserName), session.token());
  return CallForSongIds(session, request, "radio private", "usrname", request.usrname,
                        request.song_ids);
}

int RunScene(Session& session, const std::string& scene_id) {
  lumoapi::radio::GetSceneSongs request(ToUtf16(scene_id));
  return CallForSongIds(session, request, "radio scene", "scene_id", request.scene_id,
                        request.song_ids);
}

struct ActionArgs {
  std::string channel;
  std::string item;
  int32_t action = 0;
};

int RunAction(Session& session, const ActionArgs& args) {
  lumoapi::radio::RadioPlayAction request(session.token());
  request.ch_name = ToUtf16(args.channel);
  request.item_id = ToUtf16(args.item);
  request.action_no = args.action;
  return CallForSongIds(session, request, "radio action", "ch_name", request.ch_name,
                        request.song_ids);
}

int RunChannels(const GlobalOptions& options, const NoArgs&) {
  Output output(options);
  if (!options.uses_built_in_sandbox()) {
    output.Notice("these are the sandbox's channels; the service has no call that lists its own");
  }
  std::vector<std::wstring> names;
  for (const char* name : SeedChannels()) names.push_back(ToUtf16(name));
  Report report;
  report.List("channels", names);
  return output.Print(report);
}

}  // namespace

void AddRadioCommands(CLI::App& app, Tool& tool) {
  CLI::App* radio = AddGroup(app, "radio", "Radio channels, the personal radio and scenes");

  AddStandaloneCommand(*radio, tool, "channels",
                       "The names of the sandbox's public channels, for radio channel",
                       std::make_shared<NoArgs>(), &RunChannels)
      ->footer(
          "The service has no call that lists its channels: this is the sandbox's seed, which "
          "the built-in sandbox and `lumo sandbox serve` answer for.");

  AddTextCommand(*radio, tool, "channel", "The next songs of a public radio channel", "NAME",
                 "The channel's name, such as \"Jazz Café\" (see radio channels)", &RunChannel);

  auto user = std::make_shared<std::string>();
  AddCommand(*radio, tool, "private", "The next songs (at most 10) of the user's personal radio",
             user, &RunPrivate)
      ->add_option("--user", *user,
                   "The user's name (default with the built-in sandbox: its ordinary user)");

  AddTextCommand(*radio, tool, "scene", "The next songs of a scene", "SCENE_ID", "The scene's id",
                 &RunScene)
      ->footer("The sandbox's scenes: " + SceneList() + ".")
      ->get_option("SCENE_ID")
      ->check(kNumericId);

  auto action_args = std::make_shared<ActionArgs>();
  CLI::App* action = AddCommand(
      *radio, tool, "action",
      "Tell the service what the listener did with a song of a channel; answers the songs "
      "(at most 10) the channel goes on with",
      action_args, &RunAction);
  action->add_option("--channel", action_args->channel, "The channel's name")->required();
  action->add_option("--item", action_args->item, "The id of the song acted on")
      ->required()
      ->check(kNumericId);
  action->add_option("--action", action_args->action, "The action's code")->required();
  action->footer(
      "Action codes are the service's own and are passed through as they are; the library does "
      "not name them, and the sandbox accepts any 32-bit number and answers the same songs "
      "whatever the code.");
}

}  // namespace lumo::cli
