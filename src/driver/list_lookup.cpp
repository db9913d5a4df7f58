#include "driver/list_lookup.h"

#include "driver/area_pass.h"
#include "util/file_error.h"
#include "util/strings.h"

namespace {

// A list whose descriptions its encoding cannot convert is told of each, up
// to this many; the rest in one line at the end.
constexpr std::uint32_t kRefusalsTold = 10;

}  // namespace

ShortString Quoted(const EchoListFile& list) { return ShortString("\"") + list.Path() + "\""; }

const EchoListFile* ListLookup::Describe(const ShortString& tag, fastecho::Description& description) {
  for (std::size_t i = 0; i < run_.echoLists.size(); ++i) {
    EchoListFile& list = *run_.echoLists[i];
    const EchoListFile::Lookup lookup = list.LookupDescription(tag, description);
    TellAbout(i, lookup, tag);
    if (description[0] != 0) return &list;
  }
  std::fill(std::begin(description), std::end(description), std::uint8_t{0});
  return nullptr;
}

void ListLookup::TellAbout(std::size_t i, EchoListFile::Lookup lookup, const ShortString& tag) {
  LogWriter& log = *run_.log;
  const EchoListFile& list = *run_.echoLists[i];
  const FileError failure{list.Path(), list.LastError()};
  if (lookup == EchoListFile::Lookup::Failed)
    StopRun(run_, "Can't read the echo list " + Quoted(list) + Because(failure));
  TellNotices(i);
  Told& told = told_[i];
  if (lookup == EchoListFile::Lookup::Unavailable && !told.unreadable) {
    log.Warning(kProgramTag,
                "Can't read the echo list " + Quoted(list) + "; its areas get no description" + Because(failure));
    told.unreadable = true;
  }
  if (lookup == EchoListFile::Lookup::NotInEncoding && ++told.refused <= kRefusalsTold)
    log.Warning(kProgramTag, ShortString("The description of ") + Shown(run_, tag) + " in the echo list " +
                                 Quoted(list) + " is not in " + list.RefusedEncoding() + "; left as it is");
}

// What the first lookup of a list found out about it.
void ListLookup::TellNotices(std::size_t i) {
  LogWriter& log = *run_.log;
  EchoListFile& list = *run_.echoLists[i];
  const ShortString quoted = Quoted(list);
  const EchoListNotices notices = list.TakeNotices();
  if (!notices.readAs.empty()) {
    std::string why = notices.why;
    if (notices.undecodableLines > 0)
      why += "; " + std::to_string(notices.undecodableLines) +
             (notices.undecodableLines == 1 ? " line does not decode" : " lines do not decode");
    log.Log('%', kProgramTag, "  Reading the echo list " + quoted + " as " + notices.readAs + " (" + why + ")");
  }
  if (notices.notInSetting)
    log.Warning(kProgramTag, "The echo list " + quoted + " does not read as " + notices.readAs + " (" +
                                 NumToStr(notices.undecodableLines) + " of " + NumToStr(notices.highLines) +
                                 " lines); check ECHOLISTENCODING");
  if (notices.looksLikeUtf16)
    log.Warning(kProgramTag, "The echo list " + quoted +
                                 " looks like UTF-16 without a byte-order mark (set ECHOLISTENCODING UTF-16LE or "
                                 "UTF-16BE)");
  if (notices.isAReply)
    log.Warning(kProgramTag, "The echo list " + quoted +
                                 " is a hub's %LIST reply, not of the NA format; its areas get no description (try "
                                 "ECHOLISTFORMAT AREAFIX)");
  if (notices.archive)
    log.Warning(kProgramTag, "The echo list " + quoted + " is " + notices.archive +
                                 ", not a text list; unpack it and name the list inside");
  if (notices.noText)
    log.Warning(kProgramTag, "The echo list " + quoted + " is no text file; its areas get no description");
  if (notices.garbled)
    log.Warning(kProgramTag, "The echo list " + quoted + " may not be in code page " + run_.codePage->Name() +
                                 " (set ECHOLISTENCODING)");
  if (notices.holdsNoEntry) {
    ShortString message = "The echo list " + quoted + " holds no entry of the " + EchoListFormatName(list.Format()) +
                          " format; its areas get no description";
    if (notices.fits) message += ShortString(" (try ECHOLISTFORMAT ") + EchoListFormatName(*notices.fits) + ")";
    log.Warning(kProgramTag, message);
  }
}

void ListLookup::TellTheRest() {
  for (std::size_t i = 0; i < told_.size(); ++i) {
    if (told_[i].refused <= kRefusalsTold) continue;
    const std::uint32_t more = told_[i].refused - kRefusalsTold;
    run_.log->Warning(kProgramTag, NumToStr(more) + (more == 1 ? " more description" : " more descriptions") +
                                       " in the echo list " + Quoted(*run_.echoLists[i]) +
                                       (more == 1 ? " is" : " are") + " not in its encoding; left as " +
                                       (more == 1 ? "it is" : "they are"));
  }
}
