// Whole-file access to the read-only data folder and the per-user folder.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The read-only data folder: the first of data_dir_candidates() that holds the
// tile catalogue ("tiles.json"); "./data" with a line on the error stream when
// none does. set_data_dir overrides it (tests); an empty path clears the override.
std::string data_dir();
void set_data_dir(const std::string& path);

// Where the data folder is looked for, in order: the `data` folder beside the
// executable (a build folder), "./data", the installed data folder relative to
// the executable (bin/../share/murkwell, so a moved install tree still works),
// then the installed data folder of the configured prefix.
std::vector<std::string> data_dir_candidates();

// The per-user folder, created (mode 0700) on every call: $APPDATA/<app name>,
// else $XDG_DATA_HOME/<app name> (when absolute), else
// $HOME/.local/share/<app name>, else the account's home folder from the user
// database; "." when the driver has no application name. Without any home a
// private $TMPDIR/<app name>-<uid> folder keeps the session's files. Every
// problem (no home, a folder that cannot be made or written) is reported once
// on the error stream.
std::string user_dir();

// Where user_dir() reads the application name from. The driver wires its own
// app_name here when it is linked; a program without the driver (the level
// service) leaves it unset and has no per-user folder (".").
void set_user_dir_name(const char* (*app_name)());

// Says on the error stream where the data and the per-user files are.
void report_folders();

// The whole file data_dir()/name; empty when missing. Silent.
std::string read_data_file(const std::string& name);

// Reads user_dir()/name into buf. Returns the bytes read, or 0 with
// "%s is too large" when the file exceeds capacity (nothing is read),
// "file not found: %s" when it is not there or "cannot read %s: why" when it
// is there but cannot be read. buf is not cleared.
size_t read_user_file(const std::string& name, void* buf, size_t capacity);

// Whether user_dir()/name exists (of any kind).
bool user_file_exists(const std::string& name);

// Moves user_dir()/name aside to name.damaged (name.damaged.2, .3, ... when
// that is taken), so a file the game could not use is kept and never replaced
// by the one the game writes in its place. Returns the new path, or "" with a
// line on the error stream when it cannot be moved.
std::string keep_user_file_aside(const std::string& name);

// Replaces user_dir()/name with the given bytes (written to a temporary file and
// renamed, so a crash never leaves half a file). False on failure, with a line
// on the error stream.
bool write_user_file(const std::string& name, const void* data, size_t size);

// "%s/%s" of a folder and a name.
std::string path_join(const std::string& dir, const std::string& name);

// Size of a file in bytes, 0 when it does not exist.
size_t file_size(const std::string& path);
