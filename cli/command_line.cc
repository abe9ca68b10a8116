#include "command_line.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <iostream>
#include <numeric>

#include "base/thread/ui_loop.h"
#include "command_tree.h"
#include "commands.h"
#include "completion.h"
#include "library_log.h"
#include "options.h"
#include "platform.h"
#include "report.h"
#include "session.h"

namespace lumo::cli {
namespace {

constexpr char kDescription[] =
    "Drive the music service's API: search, song links, lyrics, radio, song lists, favourites, "
    "cloud uploads, reports.";

// The footer, around the default state file's place (kStateFileHelp).
constexpr char kFooterHead[] = R"(Where requests go:
  Without --connect-to (or LUMO_CONNECT_TO), lumo starts the sandbox service inside the process,
  with its state in --db (default )";
constexpr char kFooterTail[] = R"(), so what one command stores the next one sees; several runs
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
  names them, "status" and "succeeded"). Errors are one line on standard error; a usage error
  adds a line that says where the help is.

Exit status:
  0 success, 1 the service answered with an error code, 2 wrong or unfinished command line
  (`lumo list` lists its commands) or input file,
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

bool TakesValue(const CLI::Option& option) { return option.get_items_expected_max() > 0; }

// "-vq": short flags given together.
bool IsShortFlags(const CLI::App& app, const std::string& word) {
  if (word.size() < 2 || word[0] != '-' || word[1] == '-') return false;
  for (size_t i = 1; i < word.size(); ++i) {
    const CLI::Option* option = FindOption(app, std::string("-") + word[i]);
    if (!option || TakesValue(*option)) return false;
  }
  return true;
}

bool IsNumber(const std::string& word) {
  const size_t digits = word.find_first_not_of('-') == 1 ? 1 : 0;
  return word.size() > digits &&
         std::all_of(word.begin() + static_cast<std::ptrdiff_t>(digits), word.end(),
                     [](char c) { return c >= '0' && c <= '9'; });
}

std::string HelpHint(const CLI::App& command) {
  const std::string path = CommandPath(command);
  return path.empty() ? "Run `lumo help` for the commands and the global options."
                      : "Run `lumo help " + path + "` for its usage.";
}

// Unsigned numbers are checked on the text, before CLI11 converts "-1" or "x" with words of
// its own. (Options with a range of their own have been checked by then.)
void CheckUnsignedNumbers(CLI::App& command) {
  for (CLI::Option* option : command.get_options()) {
    if (option->get_type_name() == "UINT") option->check(Within(0, UINT32_MAX));
  }
  for (CLI::App* sub : command.get_subcommands([](CLI::App*) { return true; })) {
    CheckUnsignedNumbers(*sub);
  }
}

// Every subcommand's help ends with the note about the global options.
void AddGlobalOptionsNote(CLI::App& command, const std::string& note) {
  for (CLI::App* sub : command.get_subcommands([](CLI::App*) { return true; })) {
    const std::string details = sub->get_footer();
    sub->footer(details.empty() ? note : details + "\n\n" + note);
    AddGlobalOptionsNote(*sub, note);
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
  return message + "\nRun `lumo help` for the list of commands.";
}

std::string UnknownOption(const CLI::App& command, const std::string& word) {
  std::vector<std::string> names;
  for (const CLI::Option* option : OptionsOf(command)) {
    for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
    for (const std::string& name : option->get_snames()) names.push_back("-" + name);
  }
  const std::string path = CommandPath(command);
  const std::string name = word.substr(0, word.find('='));
  std::string message = "unknown option \"" + name + "\"";
  if (!path.empty()) message += " for \"" + path + "\"";
  if (std::optional<std::string> closest = ClosestWord(name, names)) {
    message += "; did you mean \"" + *closest + "\"?";
  }
  return message + "\n" + HelpHint(command);
}

// The problem of a parse error that the words' own check let through, in the tool's words.
std::string UsageProblem(const CLI::App& command, const CLI::ParseError& error) {
  std::string what = error.what();
  if (dynamic_cast<const CLI::RequiredError*>(&error)) {
    for (const CLI::Option* option : OptionsOf(command, false)) {
      if (option->get_required() && option->count() == 0) {
        std::string about = option->get_description();
        if (!about.empty()) about[0] = static_cast<char>(std::tolower(about[0]));
        return option->get_name() + " is missing" + (about.empty() ? "" : " (" + about + ")");
      }
    }
  }
  if (dynamic_cast<const CLI::ConversionError*>(&error)) {
    // "Could not convert: NAME = VALUE"
    const size_t colon = what.find(": "), equals = what.find(" = ");
    if (colon != std::string::npos && equals != std::string::npos && equals > colon) {
      return what.substr(colon + 2, equals - colon - 2) + ": \"" + what.substr(equals + 3) +
             "\" is not a number it takes";
    }
  }
  if (dynamic_cast<const CLI::ExtrasError*>(&error)) {
    const size_t colon = what.find(": ");
    return "more arguments than it takes" +
           (colon == std::string::npos ? std::string() : ": " + what.substr(colon + 2));
  }
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&error)) {
    const size_t colon = what.find(':');
    return what.substr(0, colon) + " needs a value";
  }
  // Validation errors are "NAME: <the validator's words>", which are the tool's own.
  return what;
}

int PrintHelp(const CLI::App& app, const std::vector<std::string>& words) {
  const CLI::App* command = &app;
  for (const std::string& word : words) {
    const CLI::App* sub = FindSubcommand(*command, word);
    if (!sub) {
      std::cerr << "lumo: " << UnknownWord(*command, word) << "\n";
      return kExitUsageError;
    }
    command = sub;
  }
  // Not App::help, which shows the help of the subcommand parsed last: "help" itself.
  const std::string path = CommandPath(*command);
  std::cout << command->get_formatter()->make_help(command, path.empty() ? "lumo" : "lumo " + path,
                                                   CLI::AppFormatMode::Normal);
  return kExitOk;
}

// `app` must outlive the tool's action.
void AddHelpAndCompletion(CLI::App& app, Tool& tool) {
  auto words = std::make_shared<std::vector<std::string>>();
  CLI::App* help = app.add_subcommand("help", "The commands, or the help of one of them");
  help->add_option("COMMAND", *words, "The command, such as: cloud upload");
  help->callback([&app, &tool, words] {
    tool.standalone_action = [&app, words](const GlobalOptions&) { return PrintHelp(app, *words); };
  });

  auto shell = std::make_shared<std::string>();
  CLI::App* completion = app.add_subcommand(
      "completion", "Print a shell completion script: source <(lumo completion bash)");
  Choices(completion->add_option("SHELL", *shell, "The shell"), kCompletionShells)->required();
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

WordsCheck CheckWords(const CLI::App& app, const std::vector<std::string>& words) {
  WordsCheck check;
  check.command = &app;
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (word == "--") break;
    const CLI::App& command = *check.command;
    if (word.size() > 1 && word[0] == '-' && !IsNumber(word)) {
      const CLI::Option* option = FindOption(command, word);
      if (!option && IsShortFlags(command, word)) continue;
      if (!option) {
        if (!check.problem) check.problem = UnknownOption(command, word);
        continue;
      }
      const std::string name = option->get_name(false, true);
      check.asks_for_help =
          check.asks_for_help || option->check_name("--help") || option->check_name("--version");
      // An option's value is the next word unless it came with "=".
      if (TakesValue(*option) && word.find('=') == std::string::npos) {
        const bool given =
            i + 1 < words.size() && words[i + 1] != "--" &&
            !(words[i + 1].size() > 1 && words[i + 1][0] == '-' && !IsNumber(words[i + 1]));
        if (!given && !check.problem) {
          check.problem = word + " needs a value\n" + HelpHint(command);
        }
        i += given ? 1 : 0;
      }
      continue;
    }
    if (const CLI::App* sub = FindSubcommand(command, word)) {
      check.command = sub;
      continue;
    }
    if (command.get_require_subcommand_min() > 0 && !check.problem) {
      check.problem = UnknownWord(command, word);
    }
  }
  return check;
}

std::string CommandList(const CLI::App& command) {
  const std::string path = CommandPath(command);
  const std::string named = path.empty() ? "lumo" : "lumo " + path;
  std::string text;
  if (path.empty()) text += command.get_description() + "\n\n";
  text += "Usage: " + named + (path.empty() ? " [OPTIONS] COMMAND ...\n" : " COMMAND ...\n");
  text += "\nCommands:\n";
  std::vector<std::vector<std::string>> rows;
  for (const CLI::App* sub : Subcommands(command)) {
    rows.push_back({sub->get_name(), sub->get_description()});
  }
  text += FormatTable(rows, "  ");
  return text + "\nRun `lumo help " + (path.empty() ? "" : path + " ") +
         "COMMAND` for a command's usage" +
         (path.empty() ? ", `lumo help` for the global options" : "") + ".\n";
}

void BuildCommandLine(CLI::App& app, Tool& tool) {
  app.description(kDescription);
  app.require_subcommand(1);
  // Options start with "-" on every system: "/x" is a path (CLI11 would take it for an option on
  // Windows).
  app.allow_windows_style_options(false);
  // Global options may also follow the subcommand.
  app.fallthrough();
  app.set_version_flag("-V,--version", "lumo " LUMO_VERSION);

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
  CheckUnsignedNumbers(app);
  // Set last: subcommands would inherit it.
  app.footer(std::string(kFooterHead) + kStateFileHelp + kFooterTail);
}

int RunCommandLine(int argc, char** argv) {
  // Tables measure CJK text by the cells a terminal gives it.
  UseUtf8Output();
  base::thread::UiLoop::Instance().BindToCurrentThread();
  QuietLibraryLog();

  CLI::App app("", "lumo");
  Tool tool;
  BuildCommandLine(app, tool);

  const std::vector<std::string> words = Utf8Arguments(argc, argv);
  const WordsCheck check = CheckWords(app, words);
  if (!check.asks_for_help) {
    if (check.problem) {
      std::cerr << "lumo: " << *check.problem << "\n";
      return kExitUsageError;
    }
    // A command line that names no command to run: what could follow.
    if (check.command->get_require_subcommand_min() > 0) {
      std::cerr << CommandList(*check.command);
      return kExitUsageError;
    }
  }
  try {
    // CLI11 takes the words last first.
    app.parse(std::vector<std::string>(words.rbegin(), words.rend()));
  } catch (const CLI::ParseError& error) {
    // Help and version are successes.
    if (error.get_exit_code() == 0) return app.exit(error);
    const std::string path = CommandPath(*check.command);
    std::cerr << "lumo: " << (path.empty() ? "" : path + ": ")
              << UsageProblem(*check.command, error) << "\n"
              << HelpHint(*check.command) << "\n";
    return kExitUsageError;
  }
  FinishGlobalOptions(app, tool.options);
  if (tool.standalone_action) return tool.standalone_action(tool.options);
  Session session(tool.options);
  return tool.action(session);
}

}  // namespace lumo::cli
