#include "driver/echo_list.h"

#include <algorithm>
#include <cstring>

#include "util/files.h"
#include "util/io_result.h"
#include "util/strings.h"

namespace {

bool StartsWithHoldOrDown(std::string_view line) {
  if (line.size() < 4) return false;
  const std::string_view word = line.substr(0, 4);
  return EqualsUpCased(word, "HOLD") || EqualsUpCased(word, "DOWN");
}

// The description field of `line` when its tag field equals `key`
// (compared upper-cased); false for lines that list another tag or none.
bool MatchLine(std::string_view line, std::string_view key, std::string_view* description) {
  line = TrimView(line);
  if (line.empty() || line.front() == ';') return false;
  if (StartsWithHoldOrDown(line)) line.remove_prefix(4);
  if (line.empty() || line.front() != ',') return false;
  line.remove_prefix(1);
  // Fast rejection: the tag field must have the key's length.
  const std::string_view tag = WordView(line, kCommaSet, 1);
  if (tag.size() != key.size() || !EqualsUpCased(tag, key)) return false;
  if (tag.empty()) {  // a line of commas alone: no tag, so no description either
    *description = {};
    return true;
  }
  const std::string_view rest = line.substr(static_cast<std::size_t>(tag.data() - line.data()) + tag.size());
  *description = WordView(rest, kCommaSet, 1);
  return true;
}

// A quick look at a line for the scan: false when the line surely does not
// list `upperKey` (the tag, upper-cased), true when it may. It walks the
// line as MatchLine does but without the trim at the end, which never moves
// the start of the tag field, and checks only the key's length of it and the
// byte after, so every line MatchLine accepts passes; MatchLine then decides.
bool MayList(std::string_view line, std::string_view upperKey) {
  const char* p = line.data();
  const char* const end = p + line.size();
  while (p != end && kBlankSet.Contains(*p)) ++p;
  if (p == end || *p == ';') return false;
  if (*p != ',') {
    if (end - p < 5 || p[4] != ',' || !StartsWithHoldOrDown(std::string_view(p, 4))) return false;
    p += 4;
  }
  while (p != end && *p == ',') ++p;
  // The tag field must end right after the key's length: at a comma, at the
  // end of the line or where the blanks at its end begin.
  const std::size_t n = upperKey.size();
  if (static_cast<std::size_t>(end - p) < n) return false;
  if (p + n != end && p[n] != ',' && !kBlankSet.Contains(p[n])) return false;
  return EqualsUpCased(std::string_view(p, n), upperKey);
}

}  // namespace

// Leaves no pending I/O error, as an open does.
bool EchoListFile::StartAtFirstLine() {
  if (!file_.IsOpen()) return OpenTextRead(file_, path_);
  TakeIoResult();
  file_.Rewind();
  if (TakeIoResult() == 0) return true;
  Close();
  return false;
}

void EchoListFile::LookupDescription(const ShortString& tag, Description& description) {
  std::memset(description, 0, sizeof description);
  if (path_.empty() || !StartAtFirstLine()) return;
  const ShortString key = UpCaseStr(tag.view());
  std::string_view found;
  // A read failure ends the lookup like the end of the file.
  const bool listed = file_.ScanLines([&](std::string_view line) {
    return MayList(line, key.view()) && MatchLine(line, tag.view(), &found);
  });
  if (listed) {
    found = found.substr(0, std::min<std::size_t>(found.size(), fastecho::kDescriptionWidth));
    if (!found.empty()) std::memcpy(description, found.data(), found.size());  // an empty view may hold null
  }
  if (TakeIoResult() != 0) Close();  // a file that failed is opened afresh next time
}

void EchoListFile::Close() {
  if (!file_.IsOpen()) return;
  const bool pendingBefore = IoErrorPending();
  file_.Close();
  if (!pendingBefore) TakeIoResult();  // a failed close of a file only read loses nothing
}
