#pragma once

namespace uhf {

// The exit statuses of every command-line tool (tesmarle-cli, ferrowin-cli, readersim).
inline constexpr int kExitOk = 0;
// The port, the reader, a file or the output failed, or the run was interrupted.
inline constexpr int kExitFailure = 1;
// The command line was wrong; found before any port is opened.
inline constexpr int kExitUsage = 2;

}  // namespace uhf
