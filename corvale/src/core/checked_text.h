#pragma once
// The last step of the text decoders whose output must still read as their kind of text
// (number texts, tables, logs): stream the text when what passes settles that check, else make
// it whole in memory and check it there.

#include <cstdint>

#include "core/byte_buffer.h"
#include "core/output_sink.h"
#include "core/text_buffer.h"

namespace corvale {

// What a checked text is written under: the output limit, the size to allocate first, the sink
// (none: the text is returned), whether a streamed pass may settle the check at all (when it
// cannot, the text goes straight to memory instead of being written twice), and the size of the
// pieces a streamed text is handed on in.
struct CheckedText {
  std::uint64_t limit;
  u128 first_size;
  OutputSink* sink;
  bool may_stream = true;
  std::uint64_t piece = kOutputPiece;
};

// write(TextBuffer&) writes the whole text and answers whether what passed settles the check
// (it throws the decoder's message itself when what passed refutes it). Given a sink, the text
// is streamed first; when that does not settle it, the sink restarts, rewind() readies the
// writer again, and the text is made whole in memory, where check_whole(const ByteBuffer&)
// throws the decoder's message unless the text is of its kind, then handed on.
template <class Write, class CheckWhole, class Rewind>
ByteBuffer write_checked_text(const CheckedText& plan, Write&& write, CheckWhole&& check_whole, Rewind&& rewind) {
  if (plan.sink != nullptr && plan.may_stream) {
    TextBuffer streamed(plan.limit, plan.first_size, plan.sink, plan.piece);
    if (write(streamed)) return streamed.finish();
    plan.sink->restart();
    rewind();
  }
  TextBuffer text(plan.limit, plan.first_size, nullptr);
  const bool settled = write(text);
  ByteBuffer out = text.finish();
  if (!settled) check_whole(out);
  return deliver_whole(std::move(out), plan.sink);
}

}  // namespace corvale
