// The run's lines on standard output and standard error.
#ifndef VORBEX_WRITER_CONSOLE_H
#define VORBEX_WRITER_CONSOLE_H

#include <string_view>
#include <system_error>

namespace vorbex {

// Writes the lines of one run and remembers whether standard output took
// them: a full disk or a failing device may reject them only when the stream
// is flushed, long after the write that filled it.
class Console {
  public:
    Console();

    // Writes `line` and a newline to standard output. Unless standard output
    // is a terminal (where lines go out one by one anyway), the line is
    // flushed at once: a run that is cut off then has printed the name of
    // every file it left.
    void PrintLine(std::string_view line);

    // Writes `bytes` as they are to standard error, after what standard
    // output holds so far, so that the two read in order when they go to the
    // same place.
    void WriteError(std::string_view bytes);

    // The same for UTF-8 text, which a Windows console shows as characters.
    void WriteMessage(std::string_view text);

    // Flushes standard output. The first failure of any of its lines, if
    // there was one.
    [[nodiscard]] std::error_code Finish();

  private:
    void FlushStdout();
    void NoteFailure();

    bool flushEachLine_;
    std::error_code stdoutError_;
};

}  // namespace vorbex

#endif  // VORBEX_WRITER_CONSOLE_H
