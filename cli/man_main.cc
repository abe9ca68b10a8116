// lumo_man_pages DIRECTORY VERSION NAME...: writes the man pages of the tool's command tree into
// DIRECTORY (NAME.1 each). NAME... are the pages the build expects (lumo lumo-list ...); a tree
// with other pages fails, so that the build and the packages keep up with the commands.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "command_line.h"
#include "commands.h"
#include "man_page.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: lumo_man_pages DIRECTORY VERSION NAME...\n";
    return 2;
  }
  CLI::App app("", "lumo");
  lumo::cli::Tool tool;
  lumo::cli::BuildCommandLine(app, tool);
  std::vector<std::string> expected(argv + 3, argv + argc);
  std::vector<std::string> made;
  for (const lumo::cli::ManPage& page : lumo::cli::ManPages(app, argv[2])) {
    made.push_back(page.name);
    std::ofstream(std::string(argv[1]) + "/" + page.name + ".1", std::ios::binary) << page.text;
  }
  if (made != expected) {
    std::cerr << "lumo_man_pages: the command tree makes these pages:";
    for (const std::string& name : made) std::cerr << " " << name;
    std::cerr << "\n(update the list in cli/CMakeLists.txt and scripts/check-packages.sh)\n";
    return 1;
  }
  return 0;
}
