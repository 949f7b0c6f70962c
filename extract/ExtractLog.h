// The extraction's plain-text log on standard output.
#pragma once

#include <string_view>

namespace extract {

// One line break, a line naming the decoder, two line breaks.
void LogBanner();
void LogText(std::string_view text);
// "\nERROR: <text>\n"
void LogError(std::string_view text);
void LogFlush();
// The closing line for a result code: "\nEverything is Ok\n", a named error or
// "\nERROR #<code>\n". Flushes standard output.
void LogResult(int result);

}  // namespace extract
