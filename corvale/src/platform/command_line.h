#pragma once
// Splitting a whole Windows command line into arguments. Pure, so that it is built and tested
// on every platform, and so that whatever quotes arguments for corvale.exe can be checked
// against exactly the rules the program itself applies.

#include <string>
#include <string_view>
#include <vector>

namespace corvale::platform {

// The arguments after the program path, by the rules of the Windows C runtime: blanks
// separate, double quotes group (two in a row inside quotes give one literal quote), a run of
// backslashes is literal unless a double quote follows, and then it halves, an odd run making
// the quote literal. The program path itself ends at the first blank outside quotes and knows
// no backslash escapes.
std::vector<std::wstring> split_command_line(std::wstring_view line);

}  // namespace corvale::platform
