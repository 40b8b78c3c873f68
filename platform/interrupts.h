// The one file to remove when a run is cut short: the temporary file being
// written at that moment.
//
// A signal or a failed allocation can end the process between the creation
// of a temporary file and its rename, and the code that was writing it never
// runs again. So the name is kept where a signal handler can reach it: one
// path and a flag saying whether it is in use, the program's only
// process-wide state. Everything runs on one thread; the handler only
// interrupts it.
#ifndef VORBEX_PLATFORM_INTERRUPTS_H
#define VORBEX_PLATFORM_INTERRUPTS_H

namespace vorbex {

// Catches every signal that would end the process and can be caught
// (SIGINT and SIGTERM on Windows): the handler removes the marked file, then
// ends the process by the same signal with its default action, so that the
// caller sees the usual status. A signal that is ignored when the process
// starts (as nohup does with SIGHUP) stays ignored and is never caught.
// SIGXFSZ is ignored, so that a write past a file-size limit fails with
// EFBIG and is reported instead of killing the process mid-file.
void InstallInterruptCleanup();

// Marks `path`, a file about to be created, as the one to remove should the
// run end now. False, with nothing marked, when the path is too long to keep.
[[nodiscard]] bool MarkForRemoval(const char* path);

// Nothing needs removing any more: the marked file has been renamed.
void ClearRemovalMark();

// Removes the marked file, if any. Safe in a signal handler; the name is
// unique to this run, so removing it when it no longer exists touches nothing
// else.
void RemoveMarkedFile();

}  // namespace vorbex

#endif  // VORBEX_PLATFORM_INTERRUPTS_H
