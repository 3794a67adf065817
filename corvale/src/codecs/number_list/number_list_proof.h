#pragma once
// The quick proof that a restored text is integer lines, run over the text as it is written.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace corvale {

// A quick proof that split_integer_lines takes text: true when text is at least two lines, each
// an optional '-' and digits, all but perhaps the last ended by LF (CR LF when crlf). False
// proves nothing: the decoder then asks split_integer_lines itself.
bool proves_integer_lines(std::string_view text, bool crlf);

// The quick proof of proves_integer_lines, taken a block of 64 bytes at a time, so that a text
// can be proved while its last bytes written are still in the cache. Each byte is classed, and
// every rule is a relation between a byte and the one before it: a '-' opens a line and a digit
// follows it, an ending follows a digit, and with CR LF each CR is followed by LF and each LF
// follows a CR.
class LinesProof {
 public:
  explicit LinesProof(bool crlf) : crlf_(crlf) {}

  // n bytes at p, a multiple of 64, none of them the text's last.
  void add_blocks(const char* p, std::size_t n);
  // The last 1 to 64 bytes of a text of size bytes in all.
  bool finish(std::string_view last, std::size_t size);

 private:
  // One block; valid marks its bytes of the text, inner those before the text's last byte.
  void add(const char* p, std::uint64_t valid, std::uint64_t inner);

  bool crlf_;
  std::uint64_t bad_ = 0;
  std::uint64_t inner_endings_ = 0;  // LFs before the last byte
  std::uint64_t after_lf_ = 1;       // the start of the text counts as the start of a line
  std::uint64_t after_digit_ = 0;
  std::uint64_t after_minus_ = 0;
  std::uint64_t after_cr_ = 0;
};

}  // namespace corvale
