#include "sandbox_seed.h"

#include "sandbox/server.h"

namespace lumo::cli {

// Kept in step with the sandbox's seed by the tool's tests, which ask the sandbox for each.
const std::vector<const char*>& SeedChannels() {
  static const std::vector<const char*> kChannels = {
      "华语经典",  "Rock & Roll", "Jazz Café",  "Indie Morning", "电子 & 舞曲", "Lo-Fi Study",
      "Classical", "Hip-Hop",     "Folk Roads", "K-Pop",         "Soundtrack",  "Ambient+"};
  return kChannels;
}

const std::vector<SeedScene>& SeedScenes() {
  static const std::vector<SeedScene> kScenes = {
      {1, "Morning Run"}, {2, "Deep Focus"},    {3, "Rainy Day"}, {4, "深夜"},
      {5, "Road Trip"},   {6, "Dinner & Wine"}, {7, "Workout"},   {8, "Sleep"}};
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
