// Helpers of the database tests: shell commands, stderr capture.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace dbtest {

// Standard output of a shell command.
inline std::string run(const std::string& command) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
    return out;
}

// The sqlite3 command-line shell's answer to one statement on a file.
inline std::string sqlite(const std::string& path, const std::string& sql) {
    return run("sqlite3 '" + path + "' \"" + sql + "\" 2>&1");
}

// Runs f and returns what it printed on stderr.
template <class F>
std::string stderr_of(F&& f) {
    testing::internal::CaptureStderr();
    f();
    return testing::internal::GetCapturedStderr();
}

}  // namespace dbtest
