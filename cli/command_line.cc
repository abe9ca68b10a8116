#include "command_line.h"

#include <algorithm>
#include <clocale>
#include <iostream>
#include <numeric>

#include "base/thread/ui_loop.h"
#include "commands.h"
#include "library_log.h"
#include "options.h"
#include "session.h"

namespace lumo::cli {
namespace {

constexpr char kFooter[] = R"(Where requests go:
  Without --connect-to (or LUMO_CONNECT_TO), lumo starts the sandbox service inside the process,
  with its state in --db (default $XDG_STATE_HOME/lumo/sandbox.db, or
  ~/.local/state/lumo/sandbox.db), so what one command stores the next one sees; several runs
  may share the file at the same time. The session token then defaults to the sandbox's
  ordinary user (`lumo sandbox users` lists the others). `lumo sandbox serve` runs the same
  service on its own for --connect-to; with --connect-to, commands that need a session take
  --token or LUMO_TOKEN.

Proxies:
  lumo reaches the built-in sandbox and the --connect-to server directly: http_proxy, HTTPS_PROXY,
  ALL_PROXY and no_proxy are not used for them. Programs built on the library use those variables
  as curl does (lower-case http_proxy only) for the service's own address, unless the program
  sets a proxy itself (base::http::SetProxy, SetNoProxy).

Output:
  Aligned text with units, or one JSON object with --json (the result's members as the service
  names them, "status" and "succeeded"). Errors are one line on standard error.

Exit status:
  0 success, 1 the service answered with an error code, 2 wrong command line or input file,
  3 no usable answer (connection, timeout, HTTP error, unreadable answer).

Examples:
  lumo search suggest neon
  lumo song link 100001
  lumo radio channels
  lumo --json radio channel "Jazz Café"
  lumo lists --all
  lumo list create "Road & 路" --songs 100001,100002
  lumo fav add 100001
  lumo cloud upload ~/Music/song.mp3 --artist "Someone"
  lumo --dry-run search lyrics "Title" "Artist"
  lumo help cloud upload
)";

// Named subcommands; option groups are nameless subcommands to CLI11.
std::vector<const CLI::App*> Subcommands(const CLI::App& app) {
  return app.get_subcommands([](const CLI::App* sub) { return !sub->get_name().empty(); });
}

// The options of `app`, its option groups and the commands above it (which fall through).
std::vector<const CLI::Option*> OptionsOf(const CLI::App& app) {
  std::vector<const CLI::Option*> options;
  for (const CLI::App* at = &app; at; at = at->get_parent()) {
    for (const CLI::Option* option : at->get_options()) options.push_back(option);
    for (const CLI::App* group :
         at->get_subcommands([](const CLI::App* sub) { return sub->get_name().empty(); })) {
      for (const CLI::Option* option : group->get_options()) options.push_back(option);
    }
  }
  return options;
}

const CLI::App* FindSubcommand(const CLI::App& app, const std::string& name) {
  for (const CLI::App* sub : Subcommands(app)) {
    if (sub->check_name(name)) return sub;
  }
  return nullptr;
}

// The option of `app` or of the commands above it that `word` ("--x", "--x=1", "-v") names.
const CLI::Option* FindOption(const CLI::App& app, const std::string& word) {
  const std::string name = word.substr(0, word.find('='));
  for (const CLI::Option* option : OptionsOf(app)) {
    if (option->check_name(name)) return option;
  }
  return nullptr;
}

// Every subcommand's help ends with the note about the global options.
void AddGlobalOptionsNote(CLI::App& command, const std::string& note) {
  for (CLI::App* sub : command.get_subcommands([](CLI::App*) { return true; })) {
    const std::string details = sub->get_footer();
    sub->footer(details.empty() ? note : details + "\n\n" + note);
    AddGlobalOptionsNote(*sub, note);
  }
}

std::string FailureMessage(const CLI::App* app, const CLI::Error& error) {
  return "lumo: " + std::string(error.what()) + "\nRun `" + app->get_name() +
         " --help` for more information.\n";
}

// The words a shell may complete after `app`: its subcommands and options.
std::string CompletionWords(const CLI::App& app) {
  std::vector<std::string> words;
  for (const CLI::App* sub : Subcommands(app)) {
    words.push_back(sub->get_name());
    for (const std::string& alias : sub->get_aliases()) words.push_back(alias);
  }
  for (const CLI::Option* option : OptionsOf(app)) {
    for (const std::string& name : option->get_lnames()) {
      if (std::find(words.begin(), words.end(), "--" + name) == words.end()) {
        words.push_back("--" + name);
      }
    }
  }
  std::string text;
  for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
  return text;
}

// One "case" branch per command of the tree under `app`, whose path is `path`.
void AddCompletionCases(const CLI::App& app, const std::string& path, std::string& paths,
                        std::string& cases) {
  cases += "    \"" + path + "\") words=\"" + CompletionWords(app) + "\" ;;\n";
  for (const CLI::App* sub : Subcommands(app)) {
    std::vector<std::string> names = sub->get_aliases();
    names.insert(names.begin(), sub->get_name());
    for (const std::string& name : names) {
      paths += (paths.empty() ? "\"" : "|\"") + path + " " + name + "\"";
      AddCompletionCases(*sub, path + " " + name, paths, cases);
    }
  }
}

// The error line's text for `word`, which names no subcommand of `command`.
std::string UnknownWord(const CLI::App& command, const std::string& word) {
  std::vector<std::string> names;
  for (const CLI::App* sub : Subcommands(command)) {
    names.push_back(sub->get_name());
    for (const std::string& alias : sub->get_aliases()) names.push_back(alias);
  }
  std::string message = "unknown command \"" + word + "\"";
  if (std::optional<std::string> closest = ClosestWord(word, names)) {
    message += "; did you mean \"" + *closest + "\"?";
  }
  const CLI::App* root = &command;
  while (root->get_parent()) root = root->get_parent();
  return message + "\nRun `" + root->get_name() + " help` for the list of commands.";
}

int PrintHelp(const CLI::App& app, const std::vector<std::string>& words) {
  const CLI::App* command = &app;
  std::string path = app.get_name();
  for (const std::string& word : words) {
    const CLI::App* sub = FindSubcommand(*command, word);
    if (!sub) {
      std::cerr << "lumo: " << UnknownWord(*command, word) << "\n";
      return kExitUsageError;
    }
    command = sub;
    path += " " + sub->get_name();
  }
  std::cout << command->help(command == &app ? "" : path.substr(0, path.rfind(' ')));
  return kExitOk;
}

// `app` must outlive the tool's action.
void AddHelpAndCompletion(CLI::App& app, Tool& tool) {
  auto words = std::make_shared<std::vector<std::string>>();
  CLI::App* help = app.add_subcommand("help", "Show the help of lumo or of one of its commands");
  help->add_option("COMMAND", *words, "The command, such as: cloud upload");
  help->callback([&app, &tool, words] {
    tool.standalone_action = [&app, words](const GlobalOptions&) { return PrintHelp(app, *words); };
  });

  auto shell = std::make_shared<std::string>();
  CLI::App* completion = app.add_subcommand(
      "completion", "Print a shell completion script: source <(lumo completion bash)");
  completion->add_option("SHELL", *shell, "bash or zsh")
      ->required()
      ->check(CLI::IsMember({"bash", "zsh"}));
  completion->callback([&app, &tool, shell] {
    tool.standalone_action = [&app, shell](const GlobalOptions&) {
      std::cout << CompletionScript(app, *shell);
      return static_cast<int>(kExitOk);
    };
  });
}

}  // namespace

size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  std::iota(row.begin(), row.end(), 0);
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::optional<std::string> ClosestWord(const std::string& word,
                                       const std::vector<std::string>& candidates) {
  std::optional<std::string> best;
  size_t best_distance = 0;
  for (const std::string& candidate : candidates) {
    const size_t distance = EditDistance(word, candidate);
    if (!best || distance < best_distance) {
      best = candidate;
      best_distance = distance;
    }
  }
  // Up to a third of the longer word may differ, and at least one character.
  if (best && best_distance * 3 <= std::max(word.size(), best->size()) + 2) return best;
  return std::nullopt;
}

std::optional<std::string> UnknownCommand(const CLI::App& app,
                                          const std::vector<std::string>& words) {
  const CLI::App* command = &app;
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (word == "--") return std::nullopt;
    if (word.size() > 1 && word[0] == '-') {
      const CLI::Option* option = FindOption(*command, word);
      // An option's value is the next word unless it came with "=".
      if (option && option->get_items_expected_max() > 0 && word.find('=') == std::string::npos)
        ++i;
      continue;
    }
    if (const CLI::App* sub = FindSubcommand(*command, word)) {
      command = sub;
      continue;
    }
    if (command->get_require_subcommand_min() == 0) return std::nullopt;
    return UnknownWord(*command, word);
  }
  return std::nullopt;
}

std::string CompletionScript(const CLI::App& app, const std::string& shell) {
  if (shell != "bash" && shell != "zsh") return std::string();
  const std::string& name = app.get_name();
  std::string paths;
  std::string cases;
  AddCompletionCases(app, name, paths, cases);
  std::string script = "# " + shell + " completion for " + name + ", made by `" + name +
                       " completion " + shell + "`.\n";
  if (shell == "zsh") {
    script += "#compdef " + name + "\nautoload -U +X bashcompinit && bashcompinit\n";
  }
  script += "_" + name +
            "_complete() {\n"
            "  local cur=\"${COMP_WORDS[COMP_CWORD]}\" path=\"" +
            name +
            "\" words=\"\" i\n"
            "  for ((i = 1; i < COMP_CWORD; i++)); do\n"
            "    case \"$path ${COMP_WORDS[i]}\" in\n"
            "      " +
            paths +
            ") path=\"$path ${COMP_WORDS[i]}\" ;;\n"
            "    esac\n"
            "  done\n"
            "  case \"$path\" in\n" +
            cases +
            "  esac\n"
            "  COMPREPLY=($(compgen -W \"$words\" -- \"$cur\"))\n"
            "}\n"
            "complete -F _" +
            name + "_complete " + name + "\n";
  return script;
}

int RunCommandLine(int argc, char** argv) {
  // Tables measure CJK text by the cells a terminal gives it.
  std::setlocale(LC_CTYPE, "C.UTF-8");
  base::thread::UiLoop::Instance().BindToCurrentThread();
  QuietLibraryLog();

  CLI::App app(
      "Drive the music service's API: search, song links, lyrics, radio, song lists, "
      "favourites, cloud uploads, reports.",
      "lumo");
  app.require_subcommand(1);
  // Global options may also follow the subcommand.
  app.fallthrough();
  app.set_version_flag("--version", "lumo " LUMO_VERSION);

  Tool tool;
  const std::string note = AddGlobalOptions(app, tool.options);
  AddCatalogueCommands(app, tool);
  AddRadioCommands(app, tool);
  AddListCommands(app, tool);
  AddFavoriteCommands(app, tool);
  AddCloudCommands(app, tool);
  AddReportCommands(app, tool);
  AddSandboxCommands(app, tool);
  AddHelpAndCompletion(app, tool);
  AddGlobalOptionsNote(app, note);
  // Set last: subcommands would inherit it.
  app.footer(kFooter);
  app.failure_message(FailureMessage);

  const std::vector<std::string> words(argv + 1, argv + argc);
  if (std::optional<std::string> unknown = UnknownCommand(app, words)) {
    const bool asks_for_help =
        std::find_if(words.begin(), words.end(), [](const std::string& word) {
          return word == "--help" || word == "-h" || word == "--version";
        }) != words.end();
    if (!asks_for_help) {
      std::cerr << "lumo: " << *unknown << "\n";
      return kExitUsageError;
    }
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    // Help and version are successes; every other parse error is a usage error.
    return app.exit(error) == 0 ? kExitOk : kExitUsageError;
  }
  FinishGlobalOptions(app, tool.options);
  if (tool.standalone_action) return tool.standalone_action(tool.options);
  Session session(tool.options);
  return tool.action(session);
}

}  // namespace lumo::cli
