// The echo list's line formats: which lines are entries, and what an entry
// says of its tag. One table serves the settings (the word of each format),
// the lookup (its entry rule) and the warnings (a format that would fit a
// list of no entries).
//
//   FASTECHO    [HOLD|DOWN],TAG,Description[,more fields]   FastEcho's lists
//   NA          TAG  Description                            the backbone's .NA files
//   FIDOCONFIG  EchoArea TAG path [options] -d "Description" a Husky-style tosser's areas
//   AREAFIX     [flags] TAG ...... "Description"            a hub's answer to %LIST
//
// Lines arrive in the node's code page (a list in UTF-8, UTF-16 or another
// code page is converted first). The first entry that decides a tag gives
// its description; an entry that does not decide (an NA tag without a
// description, say) leaves the tag to the lines after it.
#pragma once

#include <string>
#include <string_view>

enum class EchoListFormat { FastEcho, Na, FidoConfig, Areafix };

// What one entry says: its tag, and whether it decides it, with which
// description (possibly empty).
struct ListEntry {
  std::string_view tag;
  std::string_view description;
  bool decides = false;
};

class AreafixReader;

struct ListFormat {
  EchoListFormat format;
  const char* word;  // as the settings write it
  bool (*isEntry)(std::string_view line);
};

const ListFormat& FormatOf(EchoListFormat format);
// The format an upper-cased settings word names; null for none.
const ListFormat* FindFormat(std::string_view word);
// "FASTECHO, NA, FIDOCONFIG or AREAFIX", for the settings' message.
std::string FormatWords();
inline const char* EchoListFormatName(EchoListFormat format) { return FormatOf(format).word; }

// The formats a list of no entries may have been meant for, most telling
// first: an EchoArea line is surely FIDOCONFIG, a reply's marks AREAFIX, a
// leading comma FASTECHO, while almost any line is an NA entry.
inline constexpr EchoListFormat kFormatsToSuggest[] = {EchoListFormat::FidoConfig, EchoListFormat::Areafix,
                                                       EchoListFormat::FastEcho, EchoListFormat::Na};

// The entry rules of the formats whose lines are read alone; AREAFIX reads
// each line in what the lines before it left (AreafixReader).
bool ReadFastEchoEntry(std::string_view line, ListEntry* entry);
bool ReadNaEntry(std::string_view line, ListEntry* entry);
bool ReadFidoConfigEntry(std::string_view line, ListEntry* entry);
