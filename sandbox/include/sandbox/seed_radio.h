// The sandbox's radio channels and scenes, as it seeds them and the tool names them without
// asking (the service has no call that lists either). Header-only, like seed_users.h beside it.
#ifndef SANDBOX_SEED_RADIO_H_
#define SANDBOX_SEED_RADIO_H_

namespace lumo::sandbox {

// The public channels, named by "channelname"; their ids run from 1 in this order.
inline constexpr const char* kSeedChannels[] = {
    "华语经典",  "Rock & Roll", "Jazz Café",  "Indie Morning", "电子 & 舞曲", "Lo-Fi Study",
    "Classical", "Hip-Hop",     "Folk Roads", "K-Pop",         "Soundtrack",  "Ambient+"};

// The scenes, named by "scene_id": their ids run from 1 in this order.
inline constexpr const char* kSeedScenes[] = {"Morning Run", "Deep Focus",    "Rainy Day", "深夜",
                                              "Road Trip",   "Dinner & Wine", "Workout",   "Sleep"};

}  // namespace lumo::sandbox

#endif  // SANDBOX_SEED_RADIO_H_
