#include "driver/area_listing.h"

#include <algorithm>
#include <string>
#include <vector>

#include "driver/area_pass.h"
#include "log/console.h"
#include "util/files.h"
#include "util/strings.h"

using namespace fastecho;

namespace {

struct Row {
  std::string number, kind;
  ShortString tag, description;
};

// Columns are aligned by characters: one byte is one character in code
// page 866, whatever it becomes on a UTF-8 terminal.
std::string PadRight(std::string text, std::size_t characters, std::size_t width) {
  return text.append(width > characters ? width - characters : 0, ' ');
}

void ShowRows(const RunState& run, const std::vector<Row>& rows) {
  std::size_t numberWidth = 1, tagWidth = 3;
  for (const Row& row : rows) {
    numberWidth = std::max(numberWidth, row.number.size());
    tagWidth = std::max(tagWidth, row.tag.size());
  }
  const auto line = [&](const std::string& number, const std::string& kind, const std::string& tag,
                        std::size_t tagCharacters, const std::string& description) {
    std::string text = "  " + PadLeft(number, ' ', numberWidth).str() + "  " + PadLeft(kind, ' ', 4).str() + "  " +
                       PadRight(tag, tagCharacters, tagWidth) + "  " + description;
    text.erase(text.find_last_not_of(' ') + 1);
    ConsoleResult(text);
  };
  line("#", "Kind", "Tag", 3, "Description");
  for (const Row& row : rows)
    line(row.number, row.kind, Shown(run, row.tag), row.tag.size(), Shown(run, row.description));
}

}  // namespace

void ListAreas(RunState& run) {
  const ShortString cfgPath = FastEchoPath(run);
  StopUnlessPresent(run, cfgPath);
  AreaTable table;
  if (!OpenAreaTable(run, cfgPath, &table)) return;
  std::vector<Row> rows;
  const WalkEnd end = ForEachAreaRecord(*run.stream, table, [&](const std::uint8_t* record, std::uint64_t) {
    rows.push_back({std::to_string(rows.size() + 1), std::to_string(AreaKind(record)),
                    AreaTag(record), AreaDescription(record)});
  });
  EndWalk(run, cfgPath, end);
  ShowRows(run, rows);
  ConsoleResult(ShortString("  ") + NumToStr(static_cast<std::int64_t>(rows.size())) + " areas");
}
