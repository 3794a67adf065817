#pragma once
// The unsigned 128-bit integer that size bounds and products of two 64-bit words are computed
// in, so that neither can wrap.

namespace corvale {

using u128 = unsigned __int128;

}  // namespace corvale
