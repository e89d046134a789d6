// TScriptWatchdog: a time limit on the scripts a host runs during one task (a build). When the
// limit passes, it interrupts the host's running script and keeps interrupting every later call
// into the engine until the watchdog is destroyed, so a hook that loops forever cannot hold the
// task for ever while the task itself still runs to its end.
//
// Owned by the code that runs the task, on the host's thread; the watchdog's own thread only
// calls the host's Interrupt, which any thread may call. The host must outlive the watchdog.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace pw {

class TActiveScript;

class TScriptWatchdog {
 public:
  // A zero limit means none: the watchdog never fires.
  TScriptWatchdog(TActiveScript& host, std::chrono::milliseconds limit);
  ~TScriptWatchdog();
  TScriptWatchdog(const TScriptWatchdog&) = delete;
  TScriptWatchdog& operator=(const TScriptWatchdog&) = delete;

  // True once the limit has passed and scripts were interrupted.
  bool Expired() const { return FExpired; }

 private:
  void Watch(std::chrono::milliseconds limit);

  TActiveScript& FHost;
  std::mutex FMutex;
  std::condition_variable FWake;
  bool FStopping = false;
  std::atomic<bool> FExpired{false};
  std::thread FThread;
};

}  // namespace pw
