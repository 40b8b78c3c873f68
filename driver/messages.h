// Every text the command writes to standard error.
#ifndef VORBEX_DRIVER_MESSAGES_H
#define VORBEX_DRIVER_MESSAGES_H

#include <string>
#include <string_view>
#include <system_error>

namespace vorbex {

// "Usage: vorbex [d88file]" and a newline.
std::string UsageMessage();

// "ファイルをオープンできません" and a newline, as Shift_JIS bytes whatever
// the terminal's character set.
std::string OpenFailureMessage();

// "vorbex: cannot write NAME: REASON" and a newline.
std::string WriteFailureMessage(std::string_view name, std::error_code error);

// "vorbex: cannot read IMAGE: REASON" and a newline; "vorbex: out of memory"
// when that was the reason.
std::string ReadFailureMessage(std::string_view image, std::error_code error);

// "vorbex: cannot write standard output: REASON" and a newline.
std::string StdoutFailureMessage(std::error_code error);

// "vorbex: out of memory" and a newline. A view of a constant, so that it can
// be printed when nothing more can be allocated.
std::string_view OutOfMemoryMessage();

}  // namespace vorbex

#endif  // VORBEX_DRIVER_MESSAGES_H
