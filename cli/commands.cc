#include "commands.h"

#include <algorithm>

#include "base/string_utils.h"
#include "command_line.h"

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

CLI::Option* Choices(CLI::Option* option, const std::vector<std::string>& choices) {
  std::string listed;
  for (const std::string& choice : choices) listed += (listed.empty() ? "" : ",") + choice;
  return option->type_name("{" + listed + "}")
      ->check(CLI::Validator(
          [choices](const std::string& text) -> std::string {
            if (std::find(choices.begin(), choices.end(), text) != choices.end()) return {};
            std::string problem = "expected one of";
            for (const std::string& choice : choices) {
              problem += (&choice == &choices.front() ? " " : ", ") + choice;
            }
            problem += ", not \"" + text + "\"";
            if (std::optional<std::string> closest = ClosestWord(text, choices)) {
              problem += "; did you mean \"" + *closest + "\"?";
            }
            return problem;
          },
          ""));
}

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
