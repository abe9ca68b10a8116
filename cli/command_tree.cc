#include "command_tree.h"

namespace lumo::cli {

std::vector<const CLI::App*> Subcommands(const CLI::App& app) {
  return app.get_subcommands([](const CLI::App* sub) { return !sub->get_name().empty(); });
}

std::vector<const CLI::Option*> OptionsOf(const CLI::App& app, bool inherited) {
  std::vector<const CLI::Option*> options;
  for (const CLI::App* at = &app; at; at = inherited ? at->get_parent() : nullptr) {
    for (const CLI::Option* option : at->get_options()) options.push_back(option);
    for (const CLI::App* group :
         at->get_subcommands([](const CLI::App* sub) { return sub->get_name().empty(); })) {
      for (const CLI::Option* option : group->get_options()) options.push_back(option);
    }
  }
  return options;
}

std::string CommandPath(const CLI::App& command) {
  std::string path;
  for (const CLI::App* at = &command; at->get_parent(); at = at->get_parent()) {
    path = at->get_name() + (path.empty() ? "" : " " + path);
  }
  return path;
}

}  // namespace lumo::cli
