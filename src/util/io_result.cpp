#include "util/io_result.h"

namespace {
thread_local std::uint32_t g_pending = 0;
}

void SetIoError(std::uint32_t code) {
  if (g_pending == 0) g_pending = code;
}

bool IoErrorPending() { return g_pending != 0; }

std::uint32_t TakeIoResult() {
  const std::uint32_t code = g_pending;
  g_pending = 0;
  return code;
}
