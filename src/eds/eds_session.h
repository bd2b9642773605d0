// A session with Evolution Data Server: a private main context that every asynchronous call
// answers on, and the source registry. Only src/eds/ includes this.
#pragma once

#include <libedataserver/libedataserver.h>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "eds/glib_holders.h"

namespace velkor {

using Deadline = std::chrono::steady_clock::time_point;

class EdsSession {
 public:
  // The registry when the session bus has it (running or activatable) and it answers with its
  // built-in sources before `deadline`; null otherwise. GLib's messages are dropped from here on.
  static std::unique_ptr<EdsSession> open(Deadline deadline);
  ~EdsSession();
  EdsSession(const EdsSession&) = delete;
  EdsSession& operator=(const EdsSession&) = delete;

  ESourceRegistry* registry() const { return registry_.get(); }
  GCancellable* cancellable() const { return cancellable_.get(); }

  // Dispatches this session's callbacks until `done` holds (true) or the deadline passes (false:
  // then every call still running is cancelled, and calls made afterwards get a new cancellable).
  bool runUntil(Deadline deadline, const std::function<bool()>& done);

  // Keeps what a callback points at alive as long as the session: a cancelled call's callback
  // may still come in a later run.
  void keep(std::shared_ptr<void> state) { kept_.push_back(std::move(state)); }

 private:
  EdsSession();

  ContextRef context_;
  std::vector<std::shared_ptr<void>> kept_;
  ObjectRef<GCancellable> cancellable_;
  ObjectRef<ESourceRegistry> registry_;
};

}  // namespace velkor
