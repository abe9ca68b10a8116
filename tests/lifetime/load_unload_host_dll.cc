// Windows: a host that loads a plug-in using the library, makes a request through it and unloads
// it, ten times in one process, ending its use of the library in each of the plug-in's ways. Once
// the plug-in is unloaded, the library's DLLs must go too (a moment later: the network thread
// holds the host layer's DLL until it has ended), and nothing may run in them afterwards: a
// thread, a WinHTTP callback or a window procedure left behind would crash the process. Exits 0
// when every round went so.
#include <windows.h>

#include <chrono>
#include <iostream>
#include <string>
#include <thread>

#include "support/loopback_server.h"

namespace {

using RunOnce = int (*)(const char* host_port, int ending);
constexpr int kEndings = 3;  // unload_plugin.cc's Ending

bool Loaded(const wchar_t* name) { return GetModuleHandleW(name) != nullptr; }

// Waits until neither of the library's DLLs is loaded, for 10 s at most.
bool LibraryUnloaded() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (Loaded(LUMOAPI_DLL) || Loaded(LUMOHOST_DLL)) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    Sleep(10);
  }
  return true;
}

}  // namespace

int main() {
  lumo::testing::LoopbackServer server([](const lumo::testing::RecordedRequest& request) {
    lumo::testing::CannedResponse answer;
    answer.body = R"({"error_code":22000,"data":{}})";
    if (request.target.find("slow") != std::string::npos) answer.delay = std::chrono::seconds(3);
    return answer;
  });
  if (Loaded(LUMOAPI_DLL) || Loaded(LUMOHOST_DLL)) {
    std::cerr << "the host itself links the library\n";
    return 1;
  }
  for (int round = 0; round < 10; ++round) {
    const auto start = std::chrono::steady_clock::now();
    const int ending = round % kEndings;
    const HMODULE plugin = LoadLibraryW(PLUGIN_DLL);
    if (plugin == nullptr) {
      std::cerr << "round " << round << ": LoadLibrary failed: " << GetLastError() << "\n";
      return 1;
    }
    const auto run =
        reinterpret_cast<RunOnce>(reinterpret_cast<void*>(GetProcAddress(plugin, "RunOnce")));
    if (run == nullptr || run(server.host_port().c_str(), ending) != 0) {
      std::cerr << "round " << round << ": the request did not end\n";
      return 1;
    }
    FreeLibrary(plugin);
    if (!LibraryUnloaded()) {
      std::cerr << "round " << round << " (ending " << ending
                << "): the library's DLLs were still loaded after 10 s\n";
      return 1;
    }
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    std::cout << "round " << round << " (ending " << ending << "): " << took.count() << " ms\n";
  }
  // Whatever was left running in the unloaded DLLs would have crashed the process by now; the
  // held-back answers arrive meanwhile and find no one.
  Sleep(1500);
  std::cout << "10 rounds\n";
  return 0;
}
