#pragma once
// Unicode white space (the blank, tab, line breaks and the other Unicode spaces) in UTF-8 text,
// where version texts and the update document may carry it.

#include <cstddef>
#include <string_view>

namespace corvale_gui {

// The position of the first character at or after pos that is not white space.
std::size_t skip_white_space(std::string_view text, std::size_t pos);

// text without white space at either end.
std::string_view trim_white_space(std::string_view text);

}  // namespace corvale_gui
