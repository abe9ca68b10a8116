#include "sandbox_seed.h"

#include <iterator>

#include "sandbox/seed_radio.h"
#include "sandbox/seed_users.h"

namespace lumo::cli {

const std::vector<const char*>& SeedChannels() {
  static const std::vector<const char*> kChannels(std::begin(sandbox::kSeedChannels),
                                                  std::end(sandbox::kSeedChannels));
  return kChannels;
}

const std::vector<SeedScene>& SeedScenes() {
  static const std::vector<SeedScene> kScenes = [] {
    std::vector<SeedScene> scenes;
    for (const char* name : sandbox::kSeedScenes) {
      scenes.push_back({static_cast<int>(scenes.size()) + 1, name});
    }
    return scenes;
  }();
  return kScenes;
}

const std::vector<SeedUser>& SeedUsers() {
  static const std::vector<SeedUser> kUsers = {
      {"ordinary", sandbox::kOrdinaryUserName, sandbox::kOrdinaryUserId,
       sandbox::kOrdinaryUserToken},
      {"big", sandbox::kBigUserName, sandbox::kBigUserId, sandbox::kBigUserToken},
      {"curator", sandbox::kCuratorName, sandbox::kCuratorId, sandbox::kCuratorToken}};
  return kUsers;
}

std::string SceneList() {
  std::string list;
  for (const SeedScene& scene : SeedScenes()) {
    list += (list.empty() ? "" : ", ") + std::to_string(scene.id) + " " + scene.name;
  }
  return list;
}

}  // namespace lumo::cli
