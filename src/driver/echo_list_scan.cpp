// The scan of the echo list for one key, in a unit of its own: it runs for
// every line of every lookup, and the compiler keeps its quick looks and
// its line-end search inline best where no other code competes for its
// budget.
#include "driver/echo_list.h"

using namespace echo_list;

namespace {

// The rules of one format: which lines are entries, which gives a tag its
// description, and the quick look that turns other lines away. Only
// AREAFIX reads a line in what the lines before it left (`wrap`).
template <EchoListFormat kFormat>
struct Rules;

template <>
struct Rules<EchoListFormat::FastEcho> {
  static bool IsEntry(std::string_view line) { return IsFastEchoEntry(line); }
  static bool Match(std::string_view l, std::string_view k, const FoldTable& f, AreafixWrap*, std::string_view* d) {
    return MatchFastEcho(l, k, f, d);
  }
  template <bool kUtf8>
  static bool MayGive(std::string_view line, const KeyProbe& key, const AreafixWrap&) {
    return MayGiveFastEcho<kUtf8>(line, key);
  }
};

template <>
struct Rules<EchoListFormat::Na> {
  static bool IsEntry(std::string_view line) { return IsNaEntry(line); }
  static bool Match(std::string_view l, std::string_view k, const FoldTable& f, AreafixWrap*, std::string_view* d) {
    return MatchNa(l, k, f, d);
  }
  template <bool kUtf8>
  static bool MayGive(std::string_view line, const KeyProbe& key, const AreafixWrap&) {
    return MayGiveNa<kUtf8>(line, key);
  }
};

template <>
struct Rules<EchoListFormat::FidoConfig> {
  static bool IsEntry(std::string_view line) { return IsFidoConfigEntry(line); }
  static bool Match(std::string_view l, std::string_view k, const FoldTable& f, AreafixWrap*, std::string_view* d) {
    return MatchFidoConfig(l, k, f, d);
  }
  template <bool kUtf8>
  static bool MayGive(std::string_view line, const KeyProbe& key, const AreafixWrap&) {
    return MayGiveFidoConfig<kUtf8>(line, key);
  }
};

template <>
struct Rules<EchoListFormat::Areafix> {
  static bool IsEntry(std::string_view line) { return IsAreafixEntry(line); }
  static bool Match(std::string_view l, std::string_view k, const FoldTable& f, AreafixWrap* wrap,
                    std::string_view* d) {
    return MatchAreafix(l, k, f, wrap, d);
  }
  template <bool kUtf8>
  static bool MayGive(std::string_view line, const KeyProbe& key, const AreafixWrap& wrap) {
    return MayGiveAreafix<kUtf8>(line, key, wrap);
  }
};

}  // namespace

// One scan of the list for the key. A list translated from another code
// page is scanned as one in the node's (the quick look reads its bytes
// through the probe); only the lines that may give the key are converted.
template <bool kUtf8>
bool EchoListFile::Scan(std::string_view key, std::string_view* found) {
  const FoldTable& fold = codePage_->UpCaseTable();
  const KeyProbe probe(key, raw_);
  wrap_.open = false;
  wrap_.possible = wraps_;
  const auto text = [&](std::string_view raw) { return kUtf8 || reading_ != Reading::AsIs ? Converted(raw) : raw; };
  const auto scan = [&]<EchoListFormat kFormat>() {
    using R = Rules<kFormat>;
    const auto mayGive = [&](std::string_view raw) { return R::template MayGive<kUtf8>(raw, probe, wrap_); };
    // A line longer than what is read whole decides nothing: what gives
    // its description may stand in the part that was not read.
    const auto match = [&](std::string_view raw) {
      if (wholeLines_ && file_.LineWasCut()) {
        wrap_.open = false;
        return false;
      }
      return R::Match(text(raw), key, fold, &wrap_, found);
    };
    // Until the list has shown one entry (its first lines, as a rule), each
    // line is also asked whether it is one.
    if (!sawEntry_ && !toldNoEntry_) {
      return file_.ScanLines([&](std::string_view raw) {
        if (!sawEntry_) sawEntry_ = R::IsEntry(text(raw));
        return mayGive(raw) && match(raw);
      });
    }
    return file_.ScanLines([&](std::string_view raw) { return mayGive(raw) && match(raw); });
  };
  switch (format_) {
    case EchoListFormat::FastEcho: return scan.template operator()<EchoListFormat::FastEcho>();
    case EchoListFormat::Na: return scan.template operator()<EchoListFormat::Na>();
    case EchoListFormat::FidoConfig: return scan.template operator()<EchoListFormat::FidoConfig>();
    case EchoListFormat::Areafix: break;
  }
  return scan.template operator()<EchoListFormat::Areafix>();
}

template bool EchoListFile::Scan<false>(std::string_view key, std::string_view* found);
template bool EchoListFile::Scan<true>(std::string_view key, std::string_view* found);
