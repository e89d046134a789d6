#include "core/WindowPlacement.h"

namespace pw {

namespace {

void PutInt32(std::uint8_t* out, std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

std::int32_t GetInt32(const std::uint8_t* in) {
  std::uint32_t bits = 0;
  for (int i = 0; i < 4; ++i) bits |= static_cast<std::uint32_t>(in[i]) << (8 * i);
  return static_cast<std::int32_t>(bits);
}

}  // namespace

TWindowPlacement TWindowPlacement::FromNormal(int left, int top, int width, int height,
                                              TShowState state) {
  TWindowPlacement placement;
  placement.NormalLeft = left;
  placement.NormalTop = top;
  placement.NormalRight = left + width;
  placement.NormalBottom = top + height;
  switch (state) {
    case wsNormal: placement.ShowCmd = kShowNormal; break;
    case wsMinimized: placement.ShowCmd = kShowMinimized; break;
    case wsMaximized: placement.ShowCmd = kShowMaximized; break;
  }
  return placement;
}

TWindowPlacement::TShowState TWindowPlacement::State() const {
  switch (ShowCmd) {
    case kShowMaximized: return wsMaximized;
    case kShowMinimized:
    case 6:   // minimize
    case 7:   // show minimised without activating
    case 11:  // force minimize
      return wsMinimized;
    default: return wsNormal;
  }
}

std::vector<std::uint8_t> TWindowPlacement::ToBytes() const {
  std::vector<std::uint8_t> bytes(kSize);
  const std::int32_t fields[] = {Length, Flags, ShowCmd, MinX, MinY, MaxX, MaxY,
                                 NormalLeft, NormalTop, NormalRight, NormalBottom};
  for (int i = 0; i < 11; ++i) PutInt32(bytes.data() + 4 * i, fields[i]);
  return bytes;
}

bool TWindowPlacement::FromBytes(const std::uint8_t* bytes, int size) {
  if (!bytes || size != kSize) return false;
  std::int32_t* fields[] = {&Length, &Flags, &ShowCmd, &MinX, &MinY, &MaxX, &MaxY,
                            &NormalLeft, &NormalTop, &NormalRight, &NormalBottom};
  for (int i = 0; i < 11; ++i) *fields[i] = GetInt32(bytes + 4 * i);
  return true;
}

bool ReadWindowPlacement(const TConfigFile& config, const QString& section, const QString& key,
                         TWindowPlacement& placement) {
  std::uint8_t bytes[TWindowPlacement::kSize];
  if (!config.ReadBinary(section, key, TWindowPlacement::kSize, bytes)) return false;
  return placement.FromBytes(bytes, TWindowPlacement::kSize);
}

void WriteWindowPlacement(TConfigFile& config, const QString& section, const QString& key,
                          const TWindowPlacement& placement) {
  const std::vector<std::uint8_t> bytes = placement.ToBytes();
  config.WriteBinary(section, key, static_cast<int>(bytes.size()), bytes.data());
}

}  // namespace pw
