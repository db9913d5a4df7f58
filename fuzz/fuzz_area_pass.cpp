// Fuzz target: the whole area description pass on an arbitrary FastEcho
// configuration file and an arbitrary echo list.
//
// Input layout:
//   byte 0      flags: bit 0 FORCEDESC, bit 1 UPCASEFIRSTDESCCHAR, bit 2 short header,
//               bits 3-4 CODEPAGE (0 866, 1 437, 2 850, 3 866), bits 5-6
//               ECHOLISTENCODING (0 AUTO, 1 UTF-8, 2 CODEPAGE, 3 AUTO)
//   bytes 1-2   length L of the FastEcho part (little-endian; cut to what is there)
//   L bytes     the FastEcho part
//   the rest    the echo list
// The FastEcho part is the file itself. With the short-header bit and at
// least 24 bytes, its first 10 bytes become file bytes 0-9, the next 14
// bytes file bytes 4630-4643, the bytes between are fixed noise, and the
// rest follows from 4644 on: area records are then within a small input's
// reach.
//
// After every run it checks the promise the program makes about the file:
// its length never changes; the header and everything before the first area
// record never change; only the 52-byte descriptions of whole area records
// can change; and whenever the file changed, the reserve copy holds the file
// as it was. A reserve copy from an earlier run stands in the installation
// directory before each run: a run that writes nothing must leave it as it
// is, and no run leaves its temporary copy behind. It also checks the file
// against a reference pass (which records get which description, looked up
// in the FASTECHO list as fuzz_common.h reads it, the first letter
// upper-cased in the code page, a field already equal left alone) and the
// count of descriptions written.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "driver/area_pass.h"
#include "driver/fastecho_layout.h"
#include "fuzz_common.h"
#include "support/process_trap.h"
#include "util/files.h"

namespace {

constexpr std::size_t kFixedPart = 4644;
constexpr std::size_t kDescriptionOffset = 138;
constexpr std::size_t kShortHeaderPart = 24;

std::uint32_t Le(const std::string& b, std::size_t at, int width) {
  std::uint32_t v = 0;
  for (int i = width - 1; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(b[at + i]);
  return v;
}

// Where the area records lie, as the program computes it (64-bit sums).
struct Layout {
  bool readable = false;  // the whole fixed part is there
  std::uint32_t recordSize = 0;
  std::uint64_t firstArea = 0;
  bool Walks() const { return readable && recordSize >= 190 && recordSize <= 256; }
};

Layout LayoutOf(const std::string& file) {
  Layout l;
  if (file.size() < kFixedPart) return l;
  l.readable = true;
  l.recordSize = Le(file, 4630, 2);
  l.firstArea = kFixedPart + std::uint64_t{Le(file, 4640, 4)} +
                std::uint64_t{Le(file, 6, 2)} * Le(file, 4638, 2);
  return l;
}

// Byte i lies inside the description field of a whole area record.
bool InDescription(const Layout& l, std::uint64_t i, std::uint64_t fileSize) {
  if (!l.Walks() || i < l.firstArea) return false;
  const std::uint64_t start = l.firstArea + (i - l.firstArea) / l.recordSize * l.recordSize;
  if (start + l.recordSize > fileSize) return false;
  return i >= start + kDescriptionOffset && i < start + kDescriptionOffset + 52;
}

// The file as the pass should leave it, and the count it should report.
std::string ReferencePass(const std::string& original, const std::string& echoList, bool force,
                          bool upcaseFirst, EchoListEncoding encoding, const CodePage& codePage,
                          std::uint32_t* added) {
  std::string result = original;
  *added = 0;
  const Layout l = LayoutOf(original);
  if (!l.Walks()) return result;
  const fuzzref::ListReading list = fuzzref::ReadList(echoList, encoding, codePage, EchoListFormat::FastEcho);
  for (std::uint64_t start = l.firstArea; start + l.recordSize <= original.size();
       start += l.recordSize) {
    const char* record = original.data() + start;
    if ((static_cast<unsigned char>(record[62]) >> 4) != 0) continue;
    if (record[kDescriptionOffset] != 0 && !force) continue;
    std::string_view tag(record, 52);
    tag = tag.substr(0, std::min<std::size_t>(tag.find('\0'), 52));
    std::string description = fuzzref::LookupDescription(list, EchoListFormat::FastEcho, codePage, tag);
    if (description[0] == 0) continue;
    if (upcaseFirst)
      description[0] = static_cast<char>(codePage.UpCaseTable()[static_cast<unsigned char>(description[0])]);
    // FORCEDESC leaves a field that already holds these 52 bytes alone.
    if (std::string_view(record + kDescriptionOffset, 52) == description) continue;
    result.replace(start + kDescriptionOffset, 52, description);
    ++*added;
  }
  return result;
}

std::string FastEchoFile(std::string_view part, bool shortHeader) {
  if (!shortHeader || part.size() < kShortHeaderPart) return std::string(part);
  std::string file(kFixedPart, '\0');
  std::uint32_t state = 0x2545F491u;
  for (char& c : file) {
    state = state * 1103515245u + 12345u;
    c = static_cast<char>(1 + (state >> 16) % 255);
  }
  file.replace(0, 10, part.substr(0, 10));
  file.replace(4630, 14, part.substr(10, 14));
  file.append(part.substr(kShortHeaderPart));
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  static ProcessTrap trap;
  static const std::filesystem::path dir = fuzzref::ScratchDir("area-pass");
  static const std::string cfgPath = (dir / "fastecho.cfg").string();
  static const std::string echoPath = (dir / "echo.lst").string();
  static const std::string logPath = (dir / "blurbsmith.log").string();
  static const std::string programDir = dir.string() + platform::kDirSeparator;
  static const std::string reservePath = programDir + kReserveCopyName;
  static const std::string temporaryPath = programDir + kTemporaryReserveCopyName;
  static const std::string earlierCopy = "the reserve copy an earlier run left";

  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::uint8_t flags = data[0];
  const bool force = flags & 1;
  const bool upcaseFirst = flags & 2;
  constexpr int kCodePages[] = {866, 437, 850, 866};
  constexpr EchoListEncoding kEncodings[] = {EchoListEncoding::Auto, EchoListEncoding::Utf8,
                                             EchoListEncoding::CodePage, EchoListEncoding::Auto};
  const CodePage* const codePage = CodePage::Find(kCodePages[flags >> 3 & 3]);
  fuzzref::Check(codePage != nullptr, "a code page is missing");
  const EchoListEncoding encoding = kEncodings[flags >> 5 & 3];
  const std::size_t partLength = std::min<std::size_t>(data[1] | data[2] << 8, size - 3);
  const std::string original = FastEchoFile(input.substr(3, partLength), flags & 4);
  const std::string echoList(input.substr(3 + partLength));

  fuzzref::WriteBytes(cfgPath, original);
  fuzzref::WriteBytes(echoPath, echoList);
  std::error_code ec;
  std::filesystem::remove(logPath, ec);
  // An earlier run's reserve copy, which a run that writes nothing keeps.
  fuzzref::WriteBytes(reservePath, earlierCopy);
  std::filesystem::remove(temporaryPath, ec);

  trap.Clear();
  int exitCode = 0;
  std::uint32_t added = 0;
  {
    RunState run;
    run.programDir = programDir;
    run.installationDir = programDir;
    run.settings.fastEchoCfgPath = cfgPath;
    run.settings.logFilePath = logPath;
    run.settings.forceDesc = force;
    run.settings.upcaseFirstDescChar = upcaseFirst;
    run.settings.codePage = codePage->Number();
    run.settings.echoListEncoding = encoding;
    run.codePage = codePage;
    run.AddEchoList(ShortString(echoPath), run.settings.echoListFormat, encoding);
    exitCode = trap.Run([&] {
      run.log = LogWriter::Init(run.settings.logFilePath, true);
      DescribeAreas(run);
    });
    run.stream.reset();  // closes the FastEcho file
    run.log.reset();
    added = run.addedCount;
  }

  std::string after, reserve;
  fuzzref::Check(fuzzref::ReadBytes(cfgPath, &after), "the FastEcho file is gone");
  const bool haveReserve = fuzzref::ReadBytes(reservePath, &reserve);

  // The promise.
  fuzzref::Check(after.size() == original.size(), "the FastEcho file changed its length");
  const Layout layout = LayoutOf(original);
  const std::uint64_t untouched =
      std::min<std::uint64_t>(original.size(), std::max<std::uint64_t>(kFixedPart, layout.firstArea));
  fuzzref::Check(after.compare(0, untouched, original, 0, untouched) == 0,
                 "the header or the bytes before the first area record changed");
  for (std::size_t i = 0; i < after.size(); ++i) {
    if (after[i] != original[i] && !InDescription(layout, i, original.size()))
      fuzzref::Fail("a byte outside the description fields changed");
  }
  if (after != original) {
    fuzzref::Check(haveReserve && reserve == original,
                   "the file changed but the reserve copy does not hold it as it was");
  }

  // No failure can stop a run on these files, and the outcome is exactly
  // the reference one.
  fuzzref::Check(exitCode == -1, "the pass ended the process");
  fuzzref::Check(!std::filesystem::exists(temporaryPath, ec),
                 "the temporary reserve copy was left behind");
  std::uint32_t expectedAdded = 0;
  const std::string expected =
      ReferencePass(original, echoList, force, upcaseFirst, encoding, *codePage, &expectedAdded);
  fuzzref::Check(after == expected, "the file differs from the reference pass");
  fuzzref::Check(added == expectedAdded, "AddedCount differs from the reference pass");
  // The reserve copy holds the file as it was before the last run that wrote.
  fuzzref::Check(haveReserve && reserve == (expectedAdded > 0 ? original : earlierCopy),
                 expectedAdded > 0 ? "the reserve copy differs from the file as it was"
                                   : "a run that wrote nothing replaced the earlier reserve copy");
  return 0;
}
