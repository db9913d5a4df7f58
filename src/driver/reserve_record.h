// The record a run keeps beside the reserve copy while the previous copy
// waits under its third name: which previous copy it set aside, for which
// FastEcho file, where its first description goes and what that field held
// before, and whether that description is on the disk.
// The next run settles what a stopped run left by this record, not by
// guessing from the files' contents (a restore by hand makes the reserve
// copy equal to the FastEcho file, whatever the stopped run did).
//
// A fixed layout of 108 bytes: a mark of its own, the phase, then the
// fields, integers little-endian. Anything else is no record.
#pragma once

#include <cstdint>
#include <string>

#include "driver/fastecho_layout.h"
#include "platform/platform.h"

struct ReserveRecord {
  enum class Phase : std::uint8_t {
    Pending = 'P',  // the first description may not be on the disk yet
    OnDisk = 'D',   // the first description reached the disk
  };
  Phase phase = Phase::Pending;
  platform::FileId fastEcho;  // the FastEcho file the run wrote into
  platform::FileId previous;  // the previous reserve copy, set aside
  std::uint64_t fieldOffset = 0;  // where the first description goes
  std::uint8_t before[fastecho::kDescriptionWidth] = {};  // the field before it
};

inline constexpr std::uint32_t kReserveRecordSize = 108;
// Where the phase stands: the one byte that changes once the record is made.
inline constexpr std::uint32_t kReserveRecordPhaseOffset = 8;

std::string EncodeReserveRecord(const ReserveRecord& record);
// False for bytes that are no record of this layout.
bool DecodeReserveRecord(const std::string& bytes, ReserveRecord* record);
