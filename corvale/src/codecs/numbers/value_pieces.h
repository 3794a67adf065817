#pragma once
// The signed values a number list or a number column stores, rebuilt a piece at a time: the
// seeds (the first values of the d-th differences), then the body's magnitudes offset by the
// base or zigzag-decoded, then d passes of running sums, each carried from one piece to the
// next. A decoder thus holds a piece of values at a time, whatever count a payload claims.

#include <cstddef>

#include "codecs/numbers/number_list_body.h"
#include "core/bigint.h"
#include "core/integer_list.h"
#include "core/magnitude_budget.h"

namespace corvale {

class ValuePieces {
 public:
  // seeds, base (null: none) and reader must outlive the pieces.
  ValuePieces(const IntegerList& seeds, const BigInt* base, NumberListBodyReader& reader, unsigned d)
      : seeds_(seeds), base_(base), reader_(reader), d_(d) {}

  // The next piece into values (cleared first); false once every value has been given. Big
  // integers built on the way are charged to budget when one is given.
  bool next(IntegerList& values, MagnitudeBudget* budget);

  // Back to the first value.
  void rewind();

 private:
  std::size_t piece_size() const;

  const IntegerList& seeds_;
  const BigInt* base_;
  NumberListBodyReader& reader_;
  unsigned d_;
  bool started_ = false;
  BigInt carries_[2];
  IntegerList magnitudes_{Signedness::Unsigned};
};

}  // namespace corvale
