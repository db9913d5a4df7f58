#include "driver/echo_list.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "util/files.h"
#include "util/strings.h"

namespace {

bool StartsWithHoldOrDown(std::string_view line) {
  if (line.size() < 4) return false;
  const char word[4] = {UpCaseChar(line[0]), UpCaseChar(line[1]), UpCaseChar(line[2]), UpCaseChar(line[3])};
  return std::memcmp(word, "HOLD", 4) == 0 || std::memcmp(word, "DOWN", 4) == 0;
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

// A .NA line: the tag, blanks or tabs, then the description to the end of
// the line; ';' starts a comment line. The description of `line` when its
// tag equals `key` (compared upper-cased).
bool MatchNaLine(std::string_view line, std::string_view key, std::string_view* description) {
  line = TrimView(line);
  if (line.empty() || line.front() == ';') return false;
  const std::size_t tagEnd = std::min(line.find_first_of(" \t"), line.size());
  if (tagEnd != key.size() || !EqualsUpCased(line.substr(0, tagEnd), key)) return false;
  const std::size_t start = std::min(line.find_first_not_of(" \t", tagEnd), line.size());
  *description = line.substr(start);
  return true;
}

// For each upper-case byte k, the bits in which every byte that upper-cases
// to k agrees with k: a byte b can upper-case to k only if b and k are equal
// under this mask. Exact where the two cases differ in one bit (ASCII,
// cp866 а-п and ё), a coarser filter for р-я.
const std::array<std::uint8_t, 256>& CaseFoldMasks() {
  static const std::array<std::uint8_t, 256> masks = [] {
    std::array<std::uint8_t, 256> m;
    m.fill(0xFF);
    for (unsigned b = 0; b < 256; ++b) m[kUpCaseTable[b]] &= static_cast<std::uint8_t>(~(b ^ kUpCaseTable[b]));
    return m;
  }();
  return masks;
}

// The tag of one lookup, upper-cased, ready for the quick look at each line.
// A tag of eight bytes or more is first compared as two 64-bit words, its
// first and its last eight bytes, under the case-fold masks: one compare
// turns away nearly every other tag. Only what passes is compared byte by
// byte.
class KeyProbe {
 public:
  explicit KeyProbe(std::string_view upperKey) : key_(upperKey) {
    if (key_.size() >= 8) {
      MakeWord(key_.data(), &headMask_, &headValue_);
      MakeWord(key_.data() + key_.size() - 8, &tailMask_, &tailValue_);
    }
  }

  std::size_t size() const { return key_.size(); }

  // True when the size() bytes at `p` upper-case to the tag.
  bool Matches(const char* p) const {
    const std::size_t n = key_.size();
    if (n >= 8 && ((Load(p) & headMask_) != headValue_ || (Load(p + n - 8) & tailMask_) != tailValue_))
      return false;
    for (std::size_t i = 0; i < n; ++i)
      if (UpCaseChar(p[i]) != key_[i]) return false;
    return true;
  }

 private:
  static std::uint64_t Load(const char* p) {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
  }
  // Mask and value in memory order, as Load reads them, on any byte order.
  static void MakeWord(const char* bytes, std::uint64_t* mask, std::uint64_t* value) {
    std::uint8_t m[8], v[8];
    for (int i = 0; i < 8; ++i) {
      m[i] = CaseFoldMasks()[static_cast<unsigned char>(bytes[i])];
      v[i] = static_cast<std::uint8_t>(bytes[i] & m[i]);
    }
    std::memcpy(mask, m, sizeof m);
    std::memcpy(value, v, sizeof v);
  }

  std::string_view key_;
  std::uint64_t headMask_ = 0, headValue_ = 0, tailMask_ = 0, tailValue_ = 0;
};

// Where the fields of a line begin when it does not begin with a comma:
// past the blanks at its start and a HOLD or DOWN word. Null when the line
// cannot list a tag (empty, a comment, no comma there).
const char* FirstCommaAfterLead(const char* p, const char* end) {
  while (p != end && kBlankSet.Contains(*p)) ++p;
  if (p == end || *p == ';') return nullptr;
  if (*p == ',') return p;
  if (end - p < 5 || p[4] != ',' || !StartsWithHoldOrDown(std::string_view(p, 4))) return nullptr;
  return p + 4;
}

// A quick look at a line for the scan: false when the line surely does not
// list the key, true when it may. It walks the line as MatchLine does but
// without the trim at the end, which never moves the start of the tag field,
// and checks only the key's length of it and the byte after, so every line
// MatchLine accepts passes; MatchLine then decides. Lines that begin with a
// comma, the common case, take the short way.
inline bool MayList(std::string_view line, const KeyProbe& key) {
  const char* p = line.data();
  const char* const end = p + line.size();
  if (p == end) return false;
  if (*p != ',' && (p = FirstCommaAfterLead(p, end)) == nullptr) return false;
  do ++p;
  while (p != end && *p == ',');
  // The tag field must end right after the key's length: at a comma, at the
  // end of the line or where the blanks at its end begin.
  const std::size_t n = key.size();
  if (static_cast<std::size_t>(end - p) < n) return false;
  if (p + n != end && p[n] != ',' && !kBlankSet.Contains(p[n])) return false;
  return key.Matches(p);
}

}  // namespace

bool EchoListFile::StartAtFirstLine() {
  if (!file_.IsOpen()) return OpenTextRead(file_, path_);
  file_.Rewind();
  if (file_.TakeIoError() == 0) return true;
  Close();
  return false;
}

bool EchoListFile::LookupDescription(const ShortString& tag, Description& description) {
  std::memset(description, 0, sizeof description);
  if (path_.empty()) return true;
  if (!StartAtFirstLine()) return false;
  std::string_view found;
  // A read failure ends the lookup like the end of the file.
  bool listed;
  if (format_ == EchoListFormat::Na) {
    listed = file_.ScanLines(
        [&](std::string_view line) { return MatchNaLine(line, tag.view(), &found); });
  } else {
    const ShortString upperKey = UpCaseStr(tag.view());
    const KeyProbe key(upperKey.view());
    listed = file_.ScanLines([&](std::string_view line) {
      return MayList(line, key) && MatchLine(line, tag.view(), &found);
    });
  }
  if (listed) {
    found = found.substr(0, std::min<std::size_t>(found.size(), fastecho::kDescriptionWidth));
    if (!found.empty()) std::memcpy(description, found.data(), found.size());  // an empty view may hold null
  }
  if (file_.TakeIoError() == 0) return true;
  Close();  // a file that failed is opened afresh next time
  return false;
}

void EchoListFile::Close() {
  if (!file_.IsOpen()) return;
  file_.Close();  // a failed close of a file only read loses nothing: not reported
}
