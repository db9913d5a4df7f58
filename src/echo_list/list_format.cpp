#include "echo_list/list_format.h"

#include <cstring>
#include <iterator>

#include "echo_list/areafix_reader.h"
#include "echo_list/list_blanks.h"
#include "util/char_set.h"
#include "util/strings.h"

namespace {

// ---- FASTECHO ----

bool StartsWithHoldOrDown(std::string_view line) {
  if (line.size() < 4) return false;
  const char word[4] = {UpCaseChar(line[0]), UpCaseChar(line[1]), UpCaseChar(line[2]), UpCaseChar(line[3])};
  return std::memcmp(word, "HOLD", 4) == 0 || std::memcmp(word, "DOWN", 4) == 0;
}

// The line after the trimming and a HOLD or DOWN word, when it begins with
// the comma that makes it an entry; empty otherwise.
std::string_view FastEchoFields(std::string_view line) {
  line = TrimLine(line);
  if (line.empty() || line.front() == ';') return {};
  if (StartsWithHoldOrDown(line)) line.remove_prefix(4);
  if (line.empty() || line.front() != ',') return {};
  return line;
}

bool IsFastEchoEntry(std::string_view line) { return !FastEchoFields(line).empty(); }

// ---- NA ----

// The tag word and what follows the blanks after it; false for lines that
// are no entry (empty, comments, a first word holding a comma).
bool NaFields(std::string_view line, std::string_view* tag, std::string_view* rest) {
  line = TrimLine(line);
  if (line.empty() || line.front() == ';') return false;
  std::size_t tagEnd = 0;
  while (tagEnd < line.size() && !IsWordBreak(line[tagEnd])) ++tagEnd;
  *tag = line.substr(0, tagEnd);
  if (tag->find(',') != std::string_view::npos) return false;
  *rest = SkipWordBreaks(line.substr(tagEnd));
  return true;
}

bool IsNaEntry(std::string_view line) {
  std::string_view tag, rest;
  return NaFields(line, &tag, &rest);
}

// ---- FIDOCONFIG ----

bool IsEchoAreaKeyword(std::string_view word) {
  constexpr std::string_view kKeyword = "ECHOAREA";
  if (word.size() != kKeyword.size()) return false;
  for (std::size_t i = 0; i < kKeyword.size(); ++i)
    if ((word[i] >= 'a' && word[i] <= 'z' ? word[i] - 32 : word[i]) != kKeyword[i]) return false;
  return true;
}

// The text after "EchoArea" and its blanks, when the line is an EchoArea
// line.
bool EchoAreaRest(std::string_view line, std::string_view* rest) {
  line = TrimLine(line);
  if (line.size() < 8 || !IsEchoAreaKeyword(line.substr(0, 8))) return false;
  line.remove_prefix(8);
  if (!line.empty() && !IsWordBreak(line.front())) return false;
  *rest = SkipWordBreaks(line);
  return true;
}

bool IsFidoConfigEntry(std::string_view line) {
  std::string_view rest;
  return EchoAreaRest(line, &rest);
}

// The next word of `text`, a quoted string counting as one word with its
// quotes; `text` moves past it and the blanks after it. A quote that is
// never closed takes the word to the end of the text, and sets *unclosed.
std::string_view NextWord(std::string_view* text, bool* unclosed) {
  std::size_t end = 0;
  if (!text->empty() && text->front() == '"') {
    end = text->find('"', 1);
    if (end == std::string_view::npos) *unclosed = true;
    end = end == std::string_view::npos ? text->size() : end + 1;
  } else {
    while (end < text->size() && !IsWordBreak((*text)[end])) ++end;
  }
  const std::string_view word = text->substr(0, end);
  *text = SkipWordBreaks(text->substr(end));
  return word;
}

std::string_view Unquoted(std::string_view word) {
  if (word.size() >= 2 && word.front() == '"' && word.back() == '"') return word.substr(1, word.size() - 2);
  return word;
}

bool IsDescriptionOption(std::string_view word) {
  return word.size() == 2 && word[0] == '-' && (word[1] == 'd' || word[1] == 'D');
}

bool IsAreafixEntry(std::string_view line) {
  AreafixLine fields;
  return ReadAreafixLine(line, &fields);
}

constexpr ListFormat kFormats[] = {
    {EchoListFormat::FastEcho, "FASTECHO", IsFastEchoEntry},
    {EchoListFormat::Na, "NA", IsNaEntry},
    {EchoListFormat::FidoConfig, "FIDOCONFIG", IsFidoConfigEntry},
    {EchoListFormat::Areafix, "AREAFIX", IsAreafixEntry},
};

}  // namespace

const ListFormat& FormatOf(EchoListFormat format) {
  for (const ListFormat& known : kFormats)
    if (known.format == format) return known;
  return kFormats[0];
}

const ListFormat* FindFormat(std::string_view word) {
  for (const ListFormat& known : kFormats)
    if (word == known.word) return &known;
  return nullptr;
}

std::string FormatWords() {
  std::string words;
  for (std::size_t i = 0; i < std::size(kFormats); ++i) {
    if (i > 0) words += i + 1 == std::size(kFormats) ? " or " : ", ";
    words += kFormats[i].word;
  }
  return words;
}

// The tag field, and the field after it, of the fields after the leading
// comma: commas are the only separator, and a run of them is one. A line
// of commas alone has no tag, and so no description either; the first
// line that gives the tag decides, with a description or without.
bool ReadFastEchoEntry(std::string_view line, ListEntry* entry) {
  line = FastEchoFields(line);
  if (line.empty()) return false;
  line.remove_prefix(1);
  entry->tag = WordView(line, kCommaSet, 1);
  entry->decides = true;
  entry->description = {};
  if (entry->tag.empty()) return true;
  const std::size_t tagEnd = static_cast<std::size_t>(entry->tag.data() - line.data()) + entry->tag.size();
  entry->description = WordView(line.substr(tagEnd), kCommaSet, 1);
  return true;
}

// A tag alone (the backbone lists echoes without descriptions so) does not
// decide: a later line may still describe it.
bool ReadNaEntry(std::string_view line, ListEntry* entry) {
  if (!NaFields(line, &entry->tag, &entry->description)) return false;
  entry->decides = !entry->description.empty();
  return true;
}

// The tag (which may be quoted) and the argument of the -d or -D option,
// which may stand anywhere after it (areas under EchoAreaDefaults have no
// path): a quoted string without its quotes, or else the next word. The
// tosser takes the description anew at each -d, so the last one counts. A
// line without one, with an empty one, or with a quote left open (it may
// have been cut) does not decide.
bool ReadFidoConfigEntry(std::string_view line, ListEntry* entry) {
  std::string_view rest;
  if (!EchoAreaRest(line, &rest)) return false;
  bool unclosed = false;
  entry->tag = Unquoted(NextWord(&rest, &unclosed));
  entry->description = {};
  bool found = false;
  while (!rest.empty()) {
    if (!IsDescriptionOption(NextWord(&rest, &unclosed))) continue;
    entry->description = Unquoted(NextWord(&rest, &unclosed));
    found = true;
  }
  entry->decides = found && !unclosed && !entry->description.empty();
  return true;
}
