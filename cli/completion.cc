#include "completion.h"

#include <algorithm>
#include <functional>

#include "command_tree.h"

namespace lumo::cli {
namespace {

// What a shell needs to know of one command.
struct Node {
  std::string path;                       // "lumo list show"
  std::vector<const CLI::App*> commands;  // its subcommands
  std::vector<const CLI::Option*> options;
  std::vector<const CLI::Option*> positionals;
};

void Collect(const CLI::App& app, const std::string& path, std::vector<Node>& nodes) {
  Node node{path, Subcommands(app), {}, {}};
  for (const CLI::Option* option : OptionsOf(app)) {
    (option->get_positional() ? node.positionals : node.options).push_back(option);
  }
  // A command's own positionals only: a parent's are not the child's.
  node.positionals.erase(std::remove_if(node.positionals.begin(), node.positionals.end(),
                                        [&app](const CLI::Option* option) {
                                          const auto own = OptionsOf(app, false);
                                          return std::find(own.begin(), own.end(), option) ==
                                                 own.end();
                                        }),
                         node.positionals.end());
  nodes.push_back(node);
  for (const CLI::App* sub : node.commands) {
    std::vector<std::string> names = sub->get_aliases();
    names.insert(names.begin(), sub->get_name());
    for (const std::string& name : names) Collect(*sub, path + " " + name, nodes);
  }
}

std::vector<std::string> Names(const CLI::Option& option) {
  std::vector<std::string> names;
  for (const std::string& name : option.get_lnames()) names.push_back("--" + name);
  for (const std::string& name : option.get_snames()) names.push_back("-" + name);
  return names;
}

std::string Joined(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
  return text;
}

// Every option name with the values it takes, once (the same name takes the same values
// wherever it appears).
void ForEachValueOption(const std::vector<Node>& nodes,
                        const std::function<void(const std::string&, const CLI::Option&)>& each) {
  std::vector<std::string> done;
  for (const Node& node : nodes) {
    for (const CLI::Option* option : node.options) {
      if (option->get_items_expected_max() == 0) continue;
      for (const std::string& name : Names(*option)) {
        if (std::find(done.begin(), done.end(), name) != done.end()) continue;
        done.push_back(name);
        each(name, *option);
      }
    }
  }
}

std::string BashScript(const std::vector<Node>& nodes) {
  std::string paths;
  std::string cases;
  for (const Node& node : nodes) {
    if (node.path != "lumo") paths += (paths.empty() ? "\"" : "|\"") + node.path + "\"";
    std::vector<std::string> words;
    bool files = false;
    for (const CLI::App* sub : node.commands) {
      words.push_back(sub->get_name());
      for (const std::string& alias : sub->get_aliases()) words.push_back(alias);
    }
    for (const CLI::Option* positional : node.positionals) {
      for (const std::string& choice : ChoicesOf(*positional)) words.push_back(choice);
      files = files || TakesFile(*positional);
    }
    for (const CLI::Option* option : node.options) {
      for (const std::string& name : option->get_lnames()) {
        if (std::find(words.begin(), words.end(), "--" + name) == words.end()) {
          words.push_back("--" + name);
        }
      }
    }
    cases += "    \"" + node.path + "\") words=\"" + Joined(words) + "\"" +
             (files ? " files=1" : "") + " ;;\n";
  }
  std::string values;
  ForEachValueOption(nodes, [&values](const std::string& name, const CLI::Option& option) {
    const std::vector<std::string> choices = ChoicesOf(option);
    if (!choices.empty()) {
      values += "    " + name + ") COMPREPLY=($(compgen -W \"" + Joined(choices) +
                "\" -- \"$cur\")); return ;;\n";
    } else if (TakesFile(option)) {
      values += "    " + name + ") COMPREPLY=($(compgen -f -- \"$cur\")); return ;;\n";
    } else {
      values += "    " + name + ") return ;;\n";
    }
  });
  return "_lumo_complete() {\n"
         "  local cur=\"${COMP_WORDS[COMP_CWORD]}\" prev=\"${COMP_WORDS[COMP_CWORD-1]}\"\n"
         "  local path=\"lumo\" words=\"\" files=\"\" i\n"
         "  COMPREPLY=()\n"
         "  case \"$prev\" in\n" +
         values +
         "  esac\n"
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
         "  if [[ -n $files && $cur != -* ]]; then COMPREPLY+=($(compgen -f -- \"$cur\")); fi\n"
         "}\n"
         "complete -F _lumo_complete lumo\n";
}

// `text` as one fish word.
std::string FishQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "'";
}

std::string FishScript(const std::vector<Node>& nodes) {
  std::string script = "set -g __lumo_paths";
  for (const Node& node : nodes) script += " " + FishQuoted(node.path);
  script +=
      "\n"
      "# The command the words so far name; option values are skipped.\n"
      "function __lumo_path\n"
      "    set -l path lumo\n"
      "    set -l skip 0\n"
      "    for word in (commandline -opc)[2..-1]\n"
      "        if test $skip = 1\n"
      "            set skip 0\n"
      "        else if contains -- $word $__lumo_value_options\n"
      "            set skip 1\n"
      "        else if contains -- \"$path $word\" $__lumo_paths\n"
      "            set path \"$path $word\"\n"
      "        end\n"
      "    end\n"
      "    echo $path\n"
      "end\n"
      "complete -c lumo -f\n";
  std::string value_options = "set -g __lumo_value_options";
  ForEachValueOption(nodes, [&value_options](const std::string& name, const CLI::Option&) {
    value_options += " " + FishQuoted(name);
  });
  script = value_options + "\n" + script;
  for (const Node& node : nodes) {
    const std::string when = " -n " + FishQuoted("test (__lumo_path) = " + FishQuoted(node.path));
    for (const CLI::App* sub : node.commands) {
      script += "complete -c lumo" + when + " -a " + FishQuoted(sub->get_name()) + " -d " +
                FishQuoted(sub->get_description()) + "\n";
    }
    for (const CLI::Option* positional : node.positionals) {
      const std::vector<std::string> choices = ChoicesOf(*positional);
      if (!choices.empty()) {
        script += "complete -c lumo" + when + " -a " + FishQuoted(Joined(choices)) + "\n";
      } else if (TakesFile(*positional)) {
        script += "complete -c lumo" + when + " -F\n";
      }
    }
    for (const CLI::Option* option : node.options) {
      std::string line = "complete -c lumo" + when;
      for (const std::string& name : option->get_lnames()) line += " -l " + name;
      for (const std::string& name : option->get_snames()) line += " -s " + name;
      if (option->get_items_expected_max() > 0) {
        const std::vector<std::string> choices = ChoicesOf(*option);
        if (!choices.empty()) {
          line += " -x -a " + FishQuoted(Joined(choices));
        } else {
          line += TakesFile(*option) ? " -r -F" : " -r";
        }
      }
      script += line + " -d " + FishQuoted(option->get_description()) + "\n";
    }
  }
  return script;
}

}  // namespace

const std::vector<std::string> kCompletionShells = {"bash", "zsh", "fish"};

std::vector<std::string> ChoicesOf(const CLI::Option& option) {
  const std::string type = option.get_type_name();
  if (type.size() < 2 || type.front() != '{' || type.back() != '}') return {};
  std::vector<std::string> choices;
  std::string choice;
  for (char c : type.substr(1, type.size() - 2) + ",") {
    if (c != ',') {
      choice += c;
    } else if (!choice.empty()) {
      choices.push_back(std::move(choice));
      choice.clear();
    }
  }
  return choices;
}

bool TakesFile(const CLI::Option& option) { return option.get_type_name() == "FILE"; }

std::string CompletionScript(const CLI::App& app, const std::string& shell) {
  std::vector<Node> nodes;
  Collect(app, "lumo", nodes);
  const std::string head = "# " + shell + " completion for lumo, made by `lumo completion " +
                           shell + "` from its command table.\n";
  if (shell == "bash") return head + BashScript(nodes);
  if (shell == "zsh") {
    return "#compdef lumo\n" + head + "autoload -U +X bashcompinit && bashcompinit\n" +
           BashScript(nodes);
  }
  if (shell == "fish") return head + FishScript(nodes);
  return std::string();
}

}  // namespace lumo::cli
