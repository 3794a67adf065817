// Any bytes as the engine's standard error read by the front end: cut into lines however the
// pipe delivers them (in pieces of the size the first byte says), the same lines come out, and
// each line means one thing in either language.
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "logic/progress_line.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t piece = 1 + data[0] % 64;
  const std::string_view stream = corvale::fuzz::as_bytes(data + 1, size - 1);

  corvale_gui::EngineLineSplitter whole;
  std::vector<std::string> whole_lines;
  whole.feed(stream, whole_lines);
  const auto whole_last = whole.finish();

  corvale_gui::EngineLineSplitter pieces;
  std::vector<std::string> piece_lines;
  for (std::size_t at = 0; at < stream.size(); at += piece) pieces.feed(stream.substr(at, piece), piece_lines);
  FUZZ_CHECK(pieces.finish() == whole_last);
  FUZZ_CHECK(piece_lines == whole_lines);
  FUZZ_CHECK(pieces.stopped() == whole.stopped());

  if (whole_last) whole_lines.push_back(*whole_last);
  for (const std::string& line : whole_lines) {
    FUZZ_CHECK(line.find('\n') == std::string::npos);
    const auto english = corvale_gui::interpret_engine_line(line, true);
    const auto russian = corvale_gui::interpret_engine_line(line, false);
    FUZZ_CHECK(english.kind == russian.kind);
    if (english.kind == corvale_gui::EngineLine::Kind::progress) {
      FUZZ_CHECK(line.starts_with("PROGRESS "));
      FUZZ_CHECK(english.progress.done == russian.progress.done && english.progress.total == russian.progress.total);
      FUZZ_CHECK(corvale_gui::parse_unsigned_decimal(std::to_string(english.progress.total)) == english.progress.total);
    }
    if (english.kind == corvale_gui::EngineLine::Kind::message) FUZZ_CHECK(!english.message.empty() || line == "Error: ");
  }
  return 0;
}
