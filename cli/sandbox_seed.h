// What the sandbox is seeded with and the tool can name without asking: radio channels, scenes
// and users, read from the sandbox's own seed headers (sandbox/seed_radio.h, seed_users.h). The
// service has no call that lists channels or scenes; a real service has its own.
#ifndef LUMO_CLI_SANDBOX_SEED_H_
#define LUMO_CLI_SANDBOX_SEED_H_

#include <string>
#include <vector>

namespace lumo::cli {

struct SeedScene {
  int id;
  const char* name;
};

struct SeedUser {
  const char* role;
  const char* name;
  const char* id;
  const char* token;
};

const std::vector<const char*>& SeedChannels();
const std::vector<SeedScene>& SeedScenes();
const std::vector<SeedUser>& SeedUsers();

// "1 Morning Run, 2 Deep Focus, ...", for help texts.
std::string SceneList();

}  // namespace lumo::cli

#endif  // LUMO_CLI_SANDBOX_SEED_H_
