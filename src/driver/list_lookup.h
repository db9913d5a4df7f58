// The descriptions the run's echo lists give its areas: the lists are
// consulted in the order the settings name them, and the first that gives
// an area a description gives it (a list that does not know the tag, lists
// it without a description, or gives one its encoding could not convert,
// passes it on). What the sysop should learn of each list is told once, at
// its first lookup; a list that is there but cannot be read stops the run.
#pragma once

#include <cstdint>
#include <vector>

#include "driver/fastecho_layout.h"
#include "driver/run_state.h"

class ListLookup {
 public:
  explicit ListLookup(RunState& run) : run_(run), told_(run.echoLists.size()) {}

  // Fills `description` with the first description a list gives `tag`;
  // all zero when none does. Returns the list that gave it, or null.
  const EchoListFile* Describe(const ShortString& tag, fastecho::Description& description);
  // At the end of the walk: the descriptions left as they were beyond
  // those told one by one.
  void TellTheRest();

 private:
  struct Told {
    bool unreadable = false;
    std::uint32_t refused = 0;  // descriptions not in their encoding
  };

  void TellAbout(std::size_t i, EchoListFile::Lookup lookup, const ShortString& tag);
  void TellNotices(std::size_t i);

  RunState& run_;
  std::vector<Told> told_;
};

// How messages quote a list: "C:\FE\ECHOS.LST".
ShortString Quoted(const EchoListFile& list);
