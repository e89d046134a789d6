// TWindowPlacement: the record the window-placement keys of the settings file store, and
// reading and writing it there. Plain data; every window that remembers its place uses it.
#pragma once

#include "core/ConfigFile.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace pw {

// The record the window-placement keys store: eleven 32-bit integers, 44 bytes, written as
// 88 hex digits in memory order (little-endian). Plain data; the UI converts it from and to
// its window geometry with FromNormal/State/Normal*.
struct TWindowPlacement {
  static constexpr int kSize = 44;
  enum TShowState { wsNormal, wsMinimized, wsMaximized };
  // Show commands and flags as the record stores them.
  static constexpr std::int32_t kShowNormal = 1;
  static constexpr std::int32_t kShowMinimized = 2;
  static constexpr std::int32_t kShowMaximized = 3;
  static constexpr std::int32_t kRestoreToMaximized = 2;  // flag

  std::int32_t Length = kSize;
  std::int32_t Flags = 0;
  std::int32_t ShowCmd = kShowNormal;
  std::int32_t MinX = -1, MinY = -1;  // minimised position; -1 = let the system choose
  std::int32_t MaxX = -1, MaxY = -1;  // maximised position
  std::int32_t NormalLeft = 0, NormalTop = 0, NormalRight = 0, NormalBottom = 0;

  // A placement of the restored (normal) rectangle with the given state.
  static TWindowPlacement FromNormal(int left, int top, int width, int height, TShowState state);
  TShowState State() const;
  int NormalWidth() const { return NormalRight - NormalLeft; }
  int NormalHeight() const { return NormalBottom - NormalTop; }

  // The 44 bytes of the record, and back (false, and nothing changed, for another length).
  std::vector<std::uint8_t> ToBytes() const;
  bool FromBytes(const std::uint8_t* bytes, int size);

  friend bool operator==(const TWindowPlacement&, const TWindowPlacement&) = default;
};

// False (placement untouched) when the key is absent or not exactly 88 hex digits. The
// record is not checked further: the UI keeps a restored window on a visible screen.
bool ReadWindowPlacement(const TConfigFile& config, const QString& section, const QString& key,
                         TWindowPlacement& placement);
void WriteWindowPlacement(TConfigFile& config, const QString& section, const QString& key,
                          const TWindowPlacement& placement);

}  // namespace pw
