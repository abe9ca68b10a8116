#include "man_page.h"

#include <cctype>
#include <cstdio>

#include "base/string_utils.h"
#include "command_tree.h"

namespace lumo::cli {
namespace {

// The note every subcommand's help ends with; a man page names the global options once.
constexpr char kGlobalNoteStart[] = "Global options (";

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// The lines of `text`, empty ones included.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t from = 0;
  while (from <= text.size()) {
    const size_t end = std::min(text.find('\n', from), text.size());
    lines.push_back(text.substr(from, end - from));
    from = end + 1;
  }
  return lines;
}

std::string Header(const std::string& name, const std::string& version) {
  return ".\\\" Made by lumo_man_pages from the tool's command tree.\n"
         ".TH " +
         Upper(name) + " 1 \"\" \"lumo " + version + "\" \"User Commands\"\n";
}

// The usage line CLI11's help shows, without its "Usage: ".
std::string Usage(const CLI::App& command) {
  const std::string path = CommandPath(command);
  std::string name = path.empty() ? "lumo" : "lumo " + path;
  const auto* formatter = dynamic_cast<const CLI::Formatter*>(command.get_formatter().get());
  if (!formatter) return name;
  std::string usage = formatter->make_usage(&command, name);
  const size_t colon = usage.find(": ");
  if (colon != std::string::npos) usage.erase(0, colon + 2);
  while (!usage.empty() && (usage.back() == '\n' || usage.back() == ' ')) usage.pop_back();
  return usage;
}

std::string Options(const std::vector<const CLI::Option*>& options) {
  std::string text;
  for (const CLI::Option* option : options) {
    if (option->get_name() == "--help") continue;
    std::string names = option->get_name(option->get_positional(), true);
    text += ".TP\n\\fB" + RoffText(names) + "\\fR";
    if (!option->get_positional() && option->get_items_expected_max() > 0) {
      text += " \\fI" + RoffText(option->get_type_name()) + "\\fR";
    }
    text += "\n" + RoffText(option->get_description()) + "\n";
  }
  return text;
}

// A command's footer as paragraphs, without the global-options note.
std::string Footer(const CLI::App& command) {
  std::string footer = command.get_footer();
  const size_t note = footer.find(kGlobalNoteStart);
  if (note != std::string::npos) footer.erase(note);
  while (!footer.empty() && (footer.back() == '\n' || footer.back() == ' ')) footer.pop_back();
  if (footer.empty()) return std::string();
  std::string out;
  for (const std::string& line : Lines(footer)) {
    out += line.empty() ? ".PP\n" : RoffText(line) + "\n";
  }
  return ".PP\n" + out;
}

// One command and those below it, as sections of a page.
void AddCommand(const CLI::App& command, std::string& page) {
  const std::vector<const CLI::App*> subs = Subcommands(command);
  if (subs.empty()) {
    page +=
        ".SS \"" + RoffText(Usage(command)) + "\"\n" + RoffText(command.get_description()) + "\n";
    const std::string options = Options(OptionsOf(command, false));
    if (!options.empty()) page += ".RS\n" + options + ".RE\n";
    page += Footer(command);
    return;
  }
  for (const CLI::App* sub : subs) AddCommand(*sub, page);
}

// The tool's notes (the root's footer: "Heading:" lines over indented text) as sections;
// examples keep their lines.
std::string NoteSections(const std::string& footer) {
  std::string text;
  bool literal = false;
  for (const std::string& line : Lines(footer)) {
    if (line.empty()) continue;
    if (line[0] != ' ' && line.back() == ':') {
      if (literal) text += ".fi\n";
      const std::string heading = line.substr(0, line.size() - 1);
      literal = heading == "Examples";
      text += ".SH " + RoffText(Upper(heading)) + "\n" + (literal ? ".nf\n" : "");
      continue;
    }
    const size_t start = line.find_first_not_of(' ');
    text += RoffText(line.substr(start)) + "\n";
  }
  return text + (literal ? ".fi\n" : "");
}

bool IsGroup(const CLI::App& command) { return !Subcommands(command).empty(); }

// lumo-sandbox(1) is the page of the sandbox server, a program of its own.
std::string PageName(const CLI::App& group) {
  const std::string name = "lumo-" + group.get_name();
  return name == "lumo-sandbox" ? "lumo-sandbox-commands" : name;
}

}  // namespace

std::string RoffText(const std::string& text) {
  std::string out;
  bool line_start = true;
  for (wchar_t c : base::string_utils::ToUtf16(text)) {
    if (line_start && (c == L'.' || c == L'\'')) out += "\\&";
    line_start = c == L'\n';
    if (c == L'\\') {
      out += "\\e";
    } else if (c == L'-') {
      out += "\\-";
    } else if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      char escape[16];
      std::snprintf(escape, sizeof escape, "\\[u%04X]", static_cast<unsigned>(c));
      out += escape;
    }
  }
  return out;
}

std::vector<ManPage> ManPages(const CLI::App& app, const std::string& version) {
  std::vector<ManPage> pages;
  std::string root = Header("lumo", version) +
                     ".SH NAME\nlumo \\- drive the music service's API from the command line\n"
                     ".SH SYNOPSIS\n\\fBlumo\\fR [\\fIOPTIONS\\fR] \\fICOMMAND\\fR ...\n"
                     ".SH DESCRIPTION\n" +
                     RoffText(app.get_description()) + "\n.SH COMMANDS\n";
  std::string see_also;
  for (const CLI::App* command : Subcommands(app)) {
    if (!IsGroup(*command)) continue;
    root += ".TP\n\\fB" + RoffText(command->get_name()) + "\\fR\n" +
            RoffText(command->get_description()) + "; see \\fB" + RoffText(PageName(*command)) +
            "\\fR(1).\n";
    see_also += (see_also.empty() ? "" : ",\n") + std::string("\\fB") +
                RoffText(PageName(*command)) + "\\fR(1)";
  }
  for (const CLI::App* command : Subcommands(app)) {
    if (!IsGroup(*command)) AddCommand(*command, root);
  }
  root += ".SH \"GLOBAL OPTIONS\"\nThey may come before or after the command.\n" +
          Options(OptionsOf(app, false)) + NoteSections(app.get_footer()) + ".SH \"SEE ALSO\"\n" +
          see_also + "\n";
  pages.push_back({"lumo", root});

  for (const CLI::App* group : Subcommands(app)) {
    if (!IsGroup(*group)) continue;
    std::string page = Header(PageName(*group), version) + ".SH NAME\n" +
                       RoffText(PageName(*group)) + " \\- " + RoffText(group->get_description()) +
                       "\n.SH SYNOPSIS\n\\fBlumo " + RoffText(group->get_name()) +
                       "\\fR \\fICOMMAND\\fR [\\fIOPTIONS\\fR] ...\n.SH COMMANDS\n";
    AddCommand(*group, page);
    page +=
        ".SH \"GLOBAL OPTIONS\"\nThe global options of \\fBlumo\\fR(1) may come before or after "
        "the command.\n.SH \"SEE ALSO\"\n\\fBlumo\\fR(1)\n";
    pages.push_back({PageName(*group), page});
  }
  return pages;
}

}  // namespace lumo::cli
