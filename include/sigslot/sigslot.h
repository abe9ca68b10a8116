// Typed signals connected to member functions of receiver objects.
//
// A signal keeps its connections in connection order and owns them; a receiver (any class derived
// from has_slots) keeps the set of signals it is connected to, so that whichever side is destroyed
// first removes the connections on both sides. Emission calls the connected member functions one
// after another on the emitting thread.
//
// Threads: with the single_threaded policy nothing is locked; all operations on one signal, and
// on one receiver, must happen on one thread at a time.
//
// During an emission a member function may disconnect connections (its own or others'), destroy
// receivers, or destroy the signal that is emitting (for example by deleting the object that owns
// it); removed connections are not called, and a destroyed signal ends the emission.
#ifndef SIGSLOT_SIGSLOT_H_
#define SIGSLOT_SIGSLOT_H_

#include <iterator>
#include <list>
#include <set>

namespace sigslot {

// The locking policy that locks nothing: one thread at a time.
class single_threaded {
 public:
  virtual ~single_threaded() = default;
  virtual void lock() {}    // does nothing
  virtual void unlock() {}  // does nothing
};

template <class P>
// Holds a policy's lock for its scope.
class lock_block {
 public:
  // Locks `policy` until destroyed.
  explicit lock_block(P* policy) : policy_(policy) { policy_->lock(); }
  ~lock_block() { policy_->unlock(); }
  lock_block(const lock_block&) = delete;
  lock_block& operator=(const lock_block&) = delete;

 private:
  P* policy_;
};

template <class P>
class has_slots;

template <class P = single_threaded>
class _signal_base : public P {
 public:
  virtual void slot_disconnect(has_slots<P>* pslot) = 0;
  virtual void slot_duplicate(const has_slots<P>* poldslot, has_slots<P>* pnewslot) = 0;
};

template <class P = single_threaded>
// The base of every receiver: it remembers its signals and disconnects from them when destroyed.
class has_slots : public P {
 public:
  has_slots() = default;
  // A copy is connected to the same signals as the original.
  has_slots(const has_slots& other) : P() {
    lock_block<P> lock(this);
    for (_signal_base<P>* sender : other.senders) {
      sender->slot_duplicate(&other, this);
      senders.insert(sender);
    }
  }
  has_slots& operator=(const has_slots&) = delete;

  ~has_slots() override { disconnect_all(); }

  // Called by a signal that connects to this receiver.
  void signal_connect(_signal_base<P>* sender) {
    lock_block<P> lock(this);
    senders.insert(sender);
  }

  // Called by a signal that drops its last connection to this receiver.
  void signal_disconnect(_signal_base<P>* sender) {
    lock_block<P> lock(this);
    senders.erase(sender);
  }

  // Removes every connection of this receiver from every signal.
  void disconnect_all() {
    lock_block<P> lock(this);
    // slot_disconnect never calls back into signal_disconnect, so walking the set is safe.
    for (_signal_base<P>* sender : senders) sender->slot_disconnect(this);
    senders.clear();
  }

 private:
  std::set<_signal_base<P>*> senders;
};

template <class Connection, class P>
class _signal_base_n : public _signal_base<P> {
 public:
  _signal_base_n() = default;
  _signal_base_n(const _signal_base_n& other) : _signal_base<P>() {
    lock_block<P> lock(this);
    for (Connection* c : other.connected_slots) {
      c->getdest()->signal_connect(this);
      connected_slots.push_back(c->clone());
    }
  }
  _signal_base_n& operator=(const _signal_base_n&) = delete;

  ~_signal_base_n() override {
    for (Emission* e = emissions_; e != nullptr; e = e->outer) e->alive = false;
    disconnect_all();
  }

  bool is_empty() const { return connected_slots.empty(); }

  void disconnect_all() {
    lock_block<P> lock(this);
    for (Connection* c : connected_slots) {
      c->getdest()->signal_disconnect(this);
      delete c;
    }
    connected_slots.clear();
    for (Emission* e = emissions_; e != nullptr; e = e->outer) e->next = connected_slots.end();
  }

  // Removes every connection to `pclass` from this signal and from the receiver's set.
  void disconnect(has_slots<P>* pclass) {
    lock_block<P> lock(this);
    slot_disconnect(pclass);
    pclass->signal_disconnect(this);
  }

  void slot_disconnect(has_slots<P>* pslot) override {
    lock_block<P> lock(this);
    for (auto it = connected_slots.begin(); it != connected_slots.end();) {
      auto following = std::next(it);
      if ((*it)->getdest() == pslot) {
        // Emissions in progress skip the removed node instead of stepping onto it.
        for (Emission* e = emissions_; e != nullptr; e = e->outer) {
          if (e->next == it) e->next = following;
        }
        delete *it;
        connected_slots.erase(it);
      }
      it = following;
    }
  }

  void slot_duplicate(const has_slots<P>* oldtarget, has_slots<P>* newtarget) override {
    lock_block<P> lock(this);
    std::list<Connection*> copies;
    for (Connection* c : connected_slots) {
      if (c->getdest() == oldtarget) copies.push_back(c->duplicate(newtarget));
    }
    connected_slots.splice(connected_slots.end(), copies);
  }

 protected:
  using iterator = typename std::list<Connection*>::iterator;

  void connect_impl(Connection* conn, has_slots<P>* dest) {
    lock_block<P> lock(this);
    connected_slots.push_back(conn);
    dest->signal_connect(this);
  }

  // Calls `call` on every connection in connection order. The following node is remembered
  // before each call, and kept valid if receivers disconnect while they run.
  template <class Call>
  void emit_impl(Call&& call) {
    Emission e(this);  // holds the signal's lock while the signal lives
    while (e.next != connected_slots.end()) {
      Connection* current = *e.next;
      ++e.next;
      call(current);
      if (!e.alive) return;  // a receiver destroyed this signal
    }
  }

  std::list<Connection*> connected_slots;

 private:
  // One emission in progress; emissions nest when a receiver emits the same signal again.
  struct Emission {
    explicit Emission(_signal_base_n* s) : signal(s) {
      s->lock();
      next = s->connected_slots.begin();
      outer = s->emissions_;
      s->emissions_ = this;
    }
    ~Emission() {
      if (!alive) return;
      signal->emissions_ = outer;
      signal->unlock();
    }
    Emission(const Emission&) = delete;
    Emission& operator=(const Emission&) = delete;

    _signal_base_n* signal;
    bool alive = true;
    iterator next;
    Emission* outer;
  };

  Emission* emissions_ = nullptr;
};

template <class P = single_threaded>
class _connection_base0 {
 public:
  virtual ~_connection_base0() = default;
  virtual has_slots<P>* getdest() const = 0;
  virtual void emit() = 0;
  virtual _connection_base0* clone() = 0;
  virtual _connection_base0* duplicate(has_slots<P>* pnewdest) = 0;
};

template <class A1, class A2, class P = single_threaded>
class _connection_base2 {
 public:
  virtual ~_connection_base2() = default;
  virtual has_slots<P>* getdest() const = 0;
  virtual void emit(A1, A2) = 0;
  virtual _connection_base2* clone() = 0;
  virtual _connection_base2* duplicate(has_slots<P>* pnewdest) = 0;
};

template <class R, class P = single_threaded>
class _connection0 : public _connection_base0<P> {
 public:
  _connection0(R* pobject, void (R::*pmemfun)()) : pobject_(pobject), pmemfun_(pmemfun) {}

  has_slots<P>* getdest() const override { return pobject_; }
  void emit() override { (pobject_->*pmemfun_)(); }
  _connection_base0<P>* clone() override { return new _connection0(*this); }
  _connection_base0<P>* duplicate(has_slots<P>* pnewdest) override {
    return new _connection0(static_cast<R*>(pnewdest), pmemfun_);
  }

 private:
  R* pobject_;
  void (R::*pmemfun_)();
};

template <class R, class A1, class A2, class P = single_threaded>
class _connection2 : public _connection_base2<A1, A2, P> {
 public:
  _connection2(R* pobject, void (R::*pmemfun)(A1, A2)) : pobject_(pobject), pmemfun_(pmemfun) {}

  has_slots<P>* getdest() const override { return pobject_; }
  void emit(A1 a1, A2 a2) override { (pobject_->*pmemfun_)(a1, a2); }
  _connection_base2<A1, A2, P>* clone() override { return new _connection2(*this); }
  _connection_base2<A1, A2, P>* duplicate(has_slots<P>* pnewdest) override {
    return new _connection2(static_cast<R*>(pnewdest), pmemfun_);
  }

 private:
  R* pobject_;
  void (R::*pmemfun_)(A1, A2);
};

template <class P = single_threaded>
class _signal_base0 : public _signal_base_n<_connection_base0<P>, P> {};

template <class A1, class A2, class P = single_threaded>
class _signal_base2 : public _signal_base_n<_connection_base2<A1, A2, P>, P> {};

template <class P = single_threaded>
// A signal without arguments.
class signal0 : public _signal_base0<P> {
 public:
  // Adds one connection; connecting the same member function twice calls it twice.
  template <class R>
  void connect(R* pclass, void (R::*pmemfun)()) {
    this->connect_impl(new _connection0<R, P>(pclass, pmemfun), pclass);
  }

  // Calls every connected member function, in connection order.
  void emit() {
    this->emit_impl([](_connection_base0<P>* c) { c->emit(); });
  }
  void operator()() { emit(); }  // same as emit()
};

template <class A1, class A2, class P = single_threaded>
// A signal with two arguments.
class signal2 : public _signal_base2<A1, A2, P> {
 public:
  template <class R>
  // Adds one connection; connecting the same member function twice calls it twice.
  void connect(R* pclass, void (R::*pmemfun)(A1, A2)) {
    this->connect_impl(new _connection2<R, A1, A2, P>(pclass, pmemfun), pclass);
  }

  // Each receiver gets its own copies of the arguments.
  void emit(A1 a1, A2 a2) {
    this->emit_impl([&](_connection_base2<A1, A2, P>* c) { c->emit(a1, a2); });
  }
  void operator()(A1 a1, A2 a2) { emit(a1, a2); }  // same as emit()
};

}  // namespace sigslot

#endif  // SIGSLOT_SIGSLOT_H_
