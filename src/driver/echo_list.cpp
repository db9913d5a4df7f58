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

}  // namespace

void EchoListFile::LookupDescription(const ShortString& tag, Description& description) {
  std::memset(description, 0, sizeof description);
  if (path_.empty() || !OpenTextRead(file_, path_)) return;
  std::string_view found;
  while (!file_.Eof()) {
    const std::string_view line = file_.ReadLineView();
    if (IoErrorPending()) break;  // a read failure ends the lookup like the end of the file
    if (MatchLine(line, tag.view(), &found)) {
      found = found.substr(0, std::min<std::size_t>(found.size(), fastecho::kDescriptionWidth));
      std::memcpy(description, found.data(), found.size());
      break;
    }
  }
  file_.Close();
  TakeIoResult();
}
