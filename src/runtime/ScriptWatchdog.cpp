#include "runtime/ScriptWatchdog.h"

#include "scripting/ActiveScript.h"

namespace pw {

namespace {

// How often the expired watchdog interrupts again: calls made after the first interruption
// (the next hooks, placeholders) are stopped within this time.
constexpr std::chrono::milliseconds kRepeat(20);

}  // namespace

TScriptWatchdog::TScriptWatchdog(TActiveScript& host, std::chrono::milliseconds limit) : FHost(host) {
  if (limit.count() > 0) FThread = std::thread([this, limit] { Watch(limit); });
}

TScriptWatchdog::~TScriptWatchdog() {
  {
    std::lock_guard lock(FMutex);
    FStopping = true;
  }
  FWake.notify_all();
  if (FThread.joinable()) FThread.join();
}

void TScriptWatchdog::Watch(std::chrono::milliseconds limit) {
  std::unique_lock lock(FMutex);
  if (FWake.wait_for(lock, limit, [this] { return FStopping; })) return;
  FExpired = true;
  do {
    FHost.Interrupt();
  } while (!FWake.wait_for(lock, kRepeat, [this] { return FStopping; }));
}

}  // namespace pw
