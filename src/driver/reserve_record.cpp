#include "driver/reserve_record.h"

#include <cstring>

namespace {

// The mark that tells the record from any other file of the name.
constexpr char kMark[8] = {'B', 'L', 'S', 'M', 'Q', 'Z', '1', '\x1a'};
constexpr std::size_t kFastEchoAt = 16, kPreviousAt = 32, kOffsetAt = 48, kBeforeAt = 56;
static_assert(kBeforeAt + fastecho::kDescriptionWidth == kReserveRecordSize);

void PutU64(std::string& bytes, std::size_t at, std::uint64_t value) {
  for (int i = 0; i < 8; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}

std::uint64_t U64(const std::string& bytes, std::size_t at) {
  std::uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = value << 8 | static_cast<std::uint8_t>(bytes[at + i]);
  return value;
}

}  // namespace

std::string EncodeReserveRecord(const ReserveRecord& record) {
  std::string bytes(kReserveRecordSize, '\0');
  std::memcpy(bytes.data(), kMark, sizeof kMark);
  bytes[kReserveRecordPhaseOffset] = static_cast<char>(record.phase);
  PutU64(bytes, kFastEchoAt, record.fastEcho.volume);
  PutU64(bytes, kFastEchoAt + 8, record.fastEcho.index);
  PutU64(bytes, kPreviousAt, record.previous.volume);
  PutU64(bytes, kPreviousAt + 8, record.previous.index);
  PutU64(bytes, kOffsetAt, record.fieldOffset);
  std::memcpy(bytes.data() + kBeforeAt, record.before, sizeof record.before);
  return bytes;
}

bool DecodeReserveRecord(const std::string& bytes, ReserveRecord* record) {
  if (bytes.size() != kReserveRecordSize || std::memcmp(bytes.data(), kMark, sizeof kMark) != 0) return false;
  const auto phase = static_cast<ReserveRecord::Phase>(bytes[kReserveRecordPhaseOffset]);
  if (phase != ReserveRecord::Phase::Pending && phase != ReserveRecord::Phase::OnDisk) return false;
  record->phase = phase;
  record->fastEcho = {U64(bytes, kFastEchoAt), U64(bytes, kFastEchoAt + 8)};
  record->previous = {U64(bytes, kPreviousAt), U64(bytes, kPreviousAt + 8)};
  record->fieldOffset = U64(bytes, kOffsetAt);
  std::memcpy(record->before, bytes.data() + kBeforeAt, sizeof record->before);
  return true;
}
