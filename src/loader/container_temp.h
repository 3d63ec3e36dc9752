// The run-time's private temporary folder: one directory per process, made with
// mkdtemp under $TMPDIR (or /tmp), mode 0700, holding every temporary file the
// run-time makes (the extracted entries of a packed program among them). It is
// removed at exit, also when the process is ended by SIGINT, SIGTERM or SIGHUP.
#pragma once
#include <string>

// The folder (native, ending in "/"), created on first use; "" when it cannot be made.
// Folders left behind by run-times that no longer exist are removed on creation.
std::string PrivateTempDir();

// Creates a new file in the private folder with exclusive creation (never follows
// or reuses a planted file) and writes `bytes` to it. `name` must be a plain file
// name. Returns the native path, or "" on failure (also when the name exists).
std::string CreatePrivateTempFile(const std::string& name, const std::string& bytes);

// Removes the private folder and everything in it (done at exit by itself).
void RemovePrivateTempDir();
