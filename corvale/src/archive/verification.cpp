#include "archive/verification.h"

#include "archive/compress.h"
#include "archive/container.h"
#include "core/error.h"
#include "core/output_sink.h"

namespace corvale {
namespace {

// Holds each piece against the text expected at its place, so that a check keeps no copy.
class ComparingSink final : public OutputSink {
 public:
  explicit ComparingSink(std::string_view expected) : expected_(expected) {}
  void write(std::string_view bytes) override {
    same_ = same_ && bytes.size() <= expected_.size() - at_ && expected_.substr(at_, bytes.size()) == bytes;
    if (same_) at_ += bytes.size();
  }
  void restart() override {
    at_ = 0;
    same_ = true;
  }
  bool matches() const { return same_ && at_ == expected_.size(); }

 private:
  std::string_view expected_;
  std::size_t at_ = 0;
  bool same_ = true;
};

}  // namespace

std::string compress_verified(std::string_view input) {
  return check_archive_restores(compress_best_archive(input), input);
}

std::string check_archive_restores(std::string archive, std::string_view input) {
  bool restores = false;
  try {
    // The input's length as the limit: a faulty archive that would expand past the input stops
    // early instead of allocating without bound.
    ComparingSink restored(input);
    decode_archive_to(archive, input.size(), restored);
    restores = restored.matches();
  } catch (const Error&) {
    // Any decoder message means the same to the user as a wrong byte: the archive is unsafe.
  }
  if (!restores) throw Error(kVerificationFailedMessage);
  return archive;
}

}  // namespace corvale
