// Starting programs without a shell: posix_spawn with an argument vector, documents,
// folders and addresses through the desktop's opener (xdg-open), and the reaping of
// children that nobody waits for, so that no zombie is left behind. Paths and
// arguments are native (UTF-8).
#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

// True for an existing regular file that this user may execute.
bool IsExecutableFile(const std::string& nativePath);

// The executable a program name stands for: a name with "/" is checked as it is;
// a bare name is looked up in the folders of $PATH. "" when there is none.
std::string FindExecutable(const std::string& nativeName);

// Starts `path` with `argv` (argv[0] included) in the current folder, with the
// default signal dispositions and an empty signal mask. A detached child gets a
// session of its own and is reaped by the run-time when it ends. Returns the
// child's process id, or -1 when it could not be started.
pid_t SpawnProgram(const std::string& path, const std::vector<std::string>& argv, bool detached);

// Opens a document, folder, URL or mail address with the desktop's opener; -1
// when no opener could be started.
pid_t OpenWithDesktop(const std::string& target, bool detached);

// A child started without `detached` whose waiter gives up (the run is stopping):
// the reaper takes it over.
void ReapWhenEnded(pid_t pid);

// True once the child has ended (and has been reaped); never blocks.
bool ChildHasEnded(pid_t pid);

// The number of children handed to the reaper that have not ended yet.
int PendingReapCount();
