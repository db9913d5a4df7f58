// Writes FastEcho configuration files (and echo lists) made by the tests'
// fixture code:
//   make_fixture sample DIR                 the sample node's FastEcho file
//   make_fixture bench DIR AREAS LINES [FORMAT]
//                                           AREAS areas, all eligible, and a
//                                           list of LINES lines (CR LF) in
//                                           FORMAT that lists the
//                                           even-numbered ones only
//   make_fixture writes DIR AREAS LINES [FORMAT]
//                                           AREAS areas, every other one
//                                           described already, and a list of
//                                           LINES lines (fastecho or na) that
//                                           gives half of them a new
//                                           description at random places
//                                           (FORCEDESC YES)
//   make_fixture show FILE                  lists the area records of FILE
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "driver/fastecho_layout.h"
#include "util/code_page.h"
#include "support/fastecho_builder.h"

namespace {

// The sample node's FastEcho file, committed as sample/data/fastecho.cfg
// (the test sample_fastecho_cfg holds the two equal). Echomail areas with
// an empty description that the sample's lists know, one already described,
// one that no list knows, and areas of other kinds (netmail, bad, dupe:
// byte 62's upper four bits are not 0), which are never filled.
void WriteSample(const std::string& dir) {
  FastEchoImage f;
  f.areas = {
      {"FIDONEWS", ""},
      {"NET_DEV", ""},
      {"SYSOP.CHAT", "Sysops talk"},
      {"RU.FIDONET.TODAY", ""},
      {"FIDOTEST", ""},
      {"NETMAIL", "", 0x10},
      {"NO.SUCH.ECHO", ""},
      {"BADMAIL", "", 0x30},
      {"DUPES", "", 0x40},
  };
  WriteFileBytes(dir + "/fastecho.cfg", f.Build());
}

// The text of one benchmark list line for `area`, in `format`: fastecho
// (ASCII descriptions), na, fidoconfig, areafix (a hub's %LIST reply:
// flags, dot leaders, quoted descriptions), cp866 (fastecho lines with
// Russian descriptions in code page 866), utf8 (the same in UTF-8) or
// cp1251 (NA lines with Russian descriptions in code page 1251, which
// AUTO places by their letters).
std::string BenchLine(const std::string& format, int line, int area) {
  const std::string tag = "AREA." + std::to_string(area) + ".ECHO";
  const std::string text = "Discussion area number " + std::to_string(area) + " of the benchmark node";
  // "Obsuzhdenie nomer N uzla seti" in Russian letters.
  const std::string cyrillic866 = "\x8E\xA1\xE1\xE3\xA6\xA4\xA5\xAD\xA8\xA5 \xAD\xAE\xAC\xA5\xE0 " +
                                  std::to_string(area) + " \xE3\xA7\xAB\xA0 \xE1\xA5\xE2\xA8";
  if (format == "na") return tag + std::string(24 - tag.size() % 16, ' ') + text;
  if (format == "cp1251") {
    std::string cyrillic1251;
    for (const char c : cyrillic866)
      cyrillic1251 += static_cast<char>(
          CodePage::ForList(1251)->FromUnicode(CodePage::Cp866().ToUnicode(static_cast<unsigned char>(c))));
    // About as long as the NA line's description.
    return tag + std::string(24 - tag.size() % 16, ' ') + cyrillic1251 + ", " + cyrillic1251.substr(0, 16);
  }
  if (format == "areafix") {
    const char* const flags[] = {"*S   ", "     ", "*    ", "  R  "};
    return flags[line % 4] + tag + " " + std::string(17 - tag.size() % 16, '.') + " \"" + text + "\"";
  }
  if (format == "fidoconfig")
    return "EchoArea " + tag + " /fido/msgbase/" + tag + " -b Squish -d \"" + text + "\"";
  const std::string prefix = line % 7 == 3 ? "HOLD" : line % 11 == 5 ? "Down" : "";
  if (format == "cp866") return prefix + "," + tag + "," + cyrillic866;
  if (format == "utf8") return prefix + "," + tag + "," + CodePage::Cp866().ToUtf8(cyrillic866);
  return prefix + "," + tag + "," + text;
}

// scan.txt: what the lookups read, the number of whole scans, the
// bytes of the partial ones added up, and the number of listed areas.
void WriteScan(const std::string& dir, std::uint64_t whole, std::uint64_t partial, std::uint64_t listed) {
  WriteFileText(dir + "/scan.txt", std::to_string(whole) + " " + std::to_string(partial) + " " +
                                       std::to_string(listed) + "\n");
}

// A node of AREAS areas, all eligible, and a list of LINES lines (CR LF).
// LINES counts every line, comments included. The listed tags are the
// even-numbered areas, in order; the odd ones are absent, so their lookups
// read the whole list. A comment starts every 13th line; some comma-format
// entries carry HOLD or DOWN, in the case mixes FidoNet lists use.
// scan.txt says what the lookups read: the number of whole scans, the
// bytes of the partial ones added up, and the number of listed areas.
void WriteBench(const std::string& dir, int areas, int lines, const std::string& format) {
  FastEchoImage f;
  f.leadingRecordCount = 0;
  f.extensionSize = 0;
  for (int i = 0; i < areas; ++i) f.areas.push_back({"AREA." + std::to_string(i) + ".ECHO", ""});
  WriteFileBytes(dir + "/fastecho.cfg", f.Build());

  const char* const comment = format == "fidoconfig" ? "# " : format == "areafix" ? "--- " : "; ";
  std::string list;
  std::vector<std::uint64_t> endOf;  // the list's length up to each listed area's line
  int area = 0;
  for (int line = 0; line < lines; ++line) {
    if (line % 13 == 0) {
      list += comment + std::string("---- section ") + std::to_string(line / 13) + " ----\r\n";
      continue;
    }
    list += BenchLine(format, line, area) + "\r\n";
    endOf.push_back(list.size());
    area += 2;
  }
  WriteFileText(dir + "/echos.lst", list);

  std::uint64_t whole = 0, partial = 0, listed = 0;
  for (int i = 0; i < areas; ++i) {
    if (i % 2 == 0 && static_cast<std::size_t>(i / 2) < endOf.size()) {
      partial += endOf[i / 2];
      ++listed;
    } else {
      ++whole;
    }
  }
  WriteScan(dir, whole, partial, listed);
}

// The node a list that describes most of its areas meets: AREAS areas, all
// eligible, every other one holding an old description; a list of LINES
// lines (CR LF) that gives half of the areas, picked at random, a new
// description at random places, the other lines other echoes, a comment
// every 50 lines; as a comma list some entries stand under HOLD or DOWN,
// as an NA list each tag is followed by blanks to a column. Under FORCEDESC
// YES each run writes every description the list gives; read from the top
// for every area, the list would be read whole for every other one.
void WriteWritingBench(const std::string& dir, int areas, int lines, const std::string& format) {
  FastEchoImage f;
  f.leadingRecordCount = 0;
  f.extensionSize = 0;
  for (int i = 0; i < areas; ++i)
    f.areas.push_back({"AREA." + std::to_string(i) + ".ECHO", i % 2 ? "Old description" : ""});
  WriteFileBytes(dir + "/fastecho.cfg", f.Build());

  std::uint32_t state = 20261211;  // a fixed seed: the same node every time
  const auto next = [&state](std::uint32_t bound) {
    state = state * 1103515245u + 12345u;
    return (state >> 8) % bound;
  };
  std::vector<int> described(areas);  // a random half of the areas
  for (int i = 0; i < areas; ++i) described[i] = i;
  for (int i = areas - 1; i > 0; --i) std::swap(described[i], described[next(i + 1)]);
  described.resize(areas / 2);
  std::vector<int> slots;  // the entry lines, each an area or another echo (-1)
  for (int line = 0; line < lines; ++line)
    if (line % 50 != 0) slots.push_back(-1);
  for (std::size_t i = 0; i < described.size(); ++i) slots[i] = described[i];
  for (int i = static_cast<int>(slots.size()) - 1; i > 0; --i) std::swap(slots[i], slots[next(i + 1)]);

  std::string list;
  std::vector<std::uint64_t> endOf(areas, 0);  // the list up to each described area's line
  std::size_t slot = 0;
  for (int line = 0; line < lines; ++line) {
    if (line % 50 == 0) {
      list += "; ---- section " + std::to_string(line / 50) + " ----\r\n";
      continue;
    }
    const int area = slots[slot++];
    const std::string tag = area >= 0 ? "AREA." + std::to_string(area) + ".ECHO" : "OTHER." + std::to_string(line) + ".ECHO";
    const std::string text = "Discussion of " + tag + " on the benchmark node";
    if (format == "na") {
      list += tag + std::string(24 - tag.size() % 16, ' ') + text + "\r\n";
    } else {
      const std::string prefix = line % 7 == 3 ? "HOLD" : line % 11 == 5 ? "Down" : "";
      list += prefix + "," + tag + "," + text + "\r\n";
    }
    if (area >= 0) endOf[area] = list.size();
  }
  WriteFileText(dir + "/echos.lst", list);

  std::uint64_t whole = 0, partial = 0, listed = 0;
  for (int i = 0; i < areas; ++i) {
    if (endOf[i] == 0) {
      ++whole;
    } else {
      partial += endOf[i];
      ++listed;
    }
  }
  WriteScan(dir, whole, partial, listed);
}

// One line per whole area record: tag, kind and description (bytes shown as
// they are; cp866 text shows as such in a cp866 terminal).
void ShowAreas(const std::string& path) {
  const Bytes file = ReadFileBytes(path);
  if (file.size() < fastecho::kFixedPartSize) return;
  auto u16 = [&](std::size_t at) { return file[at] | file[at + 1] << 8; };
  const std::size_t recordSize = u16(fastecho::kHeaderTailOffset);
  std::uint64_t offset = fastecho::kFixedPartSize +
                         (file[4640] | file[4641] << 8 | file[4642] << 16 | std::uint64_t{file[4643]} << 24) +
                         std::uint64_t(u16(fastecho::kLeadingCountOffset)) * u16(fastecho::kLeadingSizeOffset);
  if (recordSize < fastecho::kMinAreaRecordSize) return;
  std::printf("  %-20s %-4s %s\n", "TAG", "KIND", "DESCRIPTION");
  for (; offset + recordSize <= file.size(); offset += recordSize) {
    const std::uint8_t* record = file.data() + offset;
    const std::string desc(reinterpret_cast<const char*>(record + fastecho::kDescriptionOffset),
                           fastecho::kDescriptionWidth);
    std::printf("  %-20s %-4d %s\n", fastecho::AreaTag(record).str().c_str(), fastecho::AreaKind(record),
                desc.substr(0, desc.find('\0')).c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 2 ? argv[1] : "";
  if (mode == "sample" && argc == 3) {
    WriteSample(argv[2]);
  } else if (mode == "show" && argc == 3) {
    ShowAreas(argv[2]);
  } else if (mode == "writes" && (argc == 5 || argc == 6)) {
    WriteWritingBench(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), argc == 6 ? argv[5] : "fastecho");
  } else if (mode == "bench" && (argc == 5 || argc == 6)) {
    WriteBench(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), argc == 6 ? argv[5] : "fastecho");
  } else {
    std::fprintf(stderr,
                 "usage: make_fixture sample DIR | bench DIR AREAS LINES [fastecho|na|fidoconfig|areafix|cp866|utf8|cp1251]"
                 " | writes DIR AREAS LINES [fastecho|na] | show FILE\n");
    return 2;
  }
  return 0;
}
