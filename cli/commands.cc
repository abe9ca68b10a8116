#include "commands.h"

#include <algorithm>

#include "base/string_utils.h"

namespace lumo::cli {

const CLI::Validator kNumericId(
    [](const std::string& text) -> std::string {
      const bool numeric =
          !text.empty() && text.size() <= 19 &&
          std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
      return numeric ? std::string()
                     : "expected a numeric id, such as 100001, not \"" + text + "\"";
    },
    "ID");

std::vector<std::wstring> WideTexts(const std::vector<std::string>& texts) {
  std::vector<std::wstring> wide;
  wide.reserve(texts.size());
  for (const std::string& text : texts) wide.push_back(base::string_utils::ToUtf16(text));
  return wide;
}

void AddSongIds(CLI::App& command, std::vector<std::string>& song_ids) {
  command.add_option("SONG_ID", song_ids, "The songs' ids")->required()->check(kNumericId);
}

CLI::App* AddGroup(CLI::App& parent, const std::string& name, const std::string& description) {
  CLI::App* group = parent.add_subcommand(name, description);
  group->require_subcommand(1);
  return group;
}

CLI::App* AddTextCommand(CLI::App& parent, Tool& tool, const std::string& name,
                         const std::string& description, const std::string& argument,
                         const std::string& argument_description,
                         int (*run)(Session&, const std::string&)) {
  auto text = std::make_shared<std::string>();
  CLI::App* command = AddCommand(parent, tool, name, description, text, run);
  command->add_option(argument, *text, argument_description)->required();
  return command;
}

}  // namespace lumo::cli
