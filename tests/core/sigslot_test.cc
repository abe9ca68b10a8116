#include "sigslot/sigslot.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using Log = std::vector<std::string>;

class Receiver : public sigslot::has_slots<> {
 public:
  Receiver(std::string name, Log* log) : name_(std::move(name)), log_(log) {}
  void OnFire() { log_->push_back(name_); }
  void OnPair(int a, std::string b) { log_->push_back(name_ + ":" + std::to_string(a) + b); }

  // Set by tests to act during an emission.
  std::function<void()> during;
  void OnFireAndAct() {
    log_->push_back(name_);
    if (during) during();
  }

 private:
  std::string name_;
  Log* log_;
};

TEST(SignalTest, CallsReceiversInConnectionOrderWithArguments) {
  Log log;
  Receiver a("a", &log), b("b", &log), c("c", &log);
  sigslot::signal0<> fire;
  sigslot::signal2<int, std::string> pair;
  for (Receiver* r : {&a, &b, &c}) {
    fire.connect(r, &Receiver::OnFire);
    pair.connect(r, &Receiver::OnPair);
  }
  fire.emit();
  pair.emit(7, "x");
  EXPECT_EQ(log, (Log{"a", "b", "c", "a:7x", "b:7x", "c:7x"}));
}

TEST(SignalTest, EitherSideMayBeDestroyedFirst) {
  Log log;
  auto signal = std::make_unique<sigslot::signal0<>>();
  auto gone = std::make_unique<Receiver>("gone", &log);
  Receiver stays("stays", &log);
  signal->connect(gone.get(), &Receiver::OnFire);
  signal->connect(&stays, &Receiver::OnFire);
  gone.reset();
  signal->emit();
  EXPECT_EQ(log, (Log{"stays"}));
  // The receiver forgets the dead signal; its own destruction later must not touch it (ASan).
  signal.reset();
  stays.disconnect_all();
}

TEST(SignalTest, ConnectingTwiceCallsTwiceAndOneDisconnectRemovesBoth) {
  Log log;
  Receiver a("a", &log);
  sigslot::signal0<> fire;
  fire.connect(&a, &Receiver::OnFire);
  fire.connect(&a, &Receiver::OnFire);
  fire.emit();
  EXPECT_EQ(log.size(), 2u);
  fire.disconnect(&a);
  fire.emit();
  EXPECT_EQ(log.size(), 2u);
  EXPECT_TRUE(fire.is_empty());
}

// What a receiver may do while the signal runs it, and what the emission then does; a dead signal
// or receiver must not be touched afterwards (ASan).
TEST(SignalTest, ReceiversMayChangeConnectionsDuringEmission) {
  using Signal = std::unique_ptr<sigslot::signal0<>>;
  struct Case {
    const char* name;
    std::function<void(Signal&, Receiver& first, std::unique_ptr<Receiver>& second)> act;
    Log expected;
  };
  const Case cases[] = {
      {"disconnect itself",
       [](auto& s, auto& first, auto&) { s->disconnect(&first); },
       {"first", "second", "third"}},
      {"disconnect the next receiver",
       [](auto& s, auto&, auto& second) { s->disconnect(second.get()); },
       {"first", "third"}},
      {"disconnect everything", [](auto& s, auto&, auto&) { s->disconnect_all(); }, {"first"}},
      {"destroy the next receiver",
       [](auto&, auto&, auto& second) { second.reset(); },
       {"first", "third"}},
      {"destroy the signal", [](auto& s, auto&, auto&) { s.reset(); }, {"first"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Log log;
    auto fire = std::make_unique<sigslot::signal0<>>();
    Receiver first("first", &log), third("third", &log);
    auto second = std::make_unique<Receiver>("second", &log);
    first.during = [&] { c.act(fire, first, second); };
    fire->connect(&first, &Receiver::OnFireAndAct);
    fire->connect(second.get(), &Receiver::OnFire);
    fire->connect(&third, &Receiver::OnFire);
    fire->emit();
    EXPECT_EQ(log, c.expected);
  }
}

}  // namespace
