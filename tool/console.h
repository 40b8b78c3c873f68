// The run's standard output and error lines.
#ifndef VORBEX_TOOL_CONSOLE_H
#define VORBEX_TOOL_CONSOLE_H

#include <string>

namespace vorbex {

// Writes the lines of one run and remembers whether standard output took
// them: a full disk or a failing device may reject them only when the stream
// is flushed, long after the write that filled it.
class Console {
  public:
    // Writes `text` and a newline to standard output.
    void PrintLine(const std::string& text);

    // Writes "vorbex: <what>: <reason>" and a newline to standard error,
    // after what standard output holds so far, so that the two read in order
    // when they go to the same place.
    void ReportError(const std::string& what, const std::string& reason);

    // Flushes standard output. When any of its lines could not be written,
    // reports that on standard error and returns false.
    bool Finish();

  private:
    void NoteStdoutFailure();

    bool stdoutFailed_ = false;
    int stdoutError_ = 0;
};

}  // namespace vorbex

#endif  // VORBEX_TOOL_CONSOLE_H
