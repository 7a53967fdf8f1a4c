#pragma once

namespace uhf {

// What every command-line tool does first and last, in one place.
class ProcessSetup {
  public:
    // First thing in main: standard input, output and error are made to exist (a closed one gets
    // /dev/null), so that no port or file opened later takes their number and receives what was
    // meant for the terminal; a closed pipe becomes a failed write instead of SIGPIPE; SIGINT,
    // SIGTERM and SIGHUP raise the flag of Interrupted().
    static void Prepare();

    // The descriptor part of Prepare alone, for a program with signal handling of its own.
    static void ReserveStandardDescriptors();

    // SIGINT, SIGTERM or SIGHUP arrived.
    static bool Interrupted();
    // SIGHUP arrived: the terminal is gone, and the run counts as failed.
    static bool HungUp();

    // Last thing in main: flushes standard output and returns `status`, turned into a failure
    // when output was lost or the terminal hung up (said on stderr as `program: ...`).
    static int Finish(const char* program, int status);

    // Called by the platform's signal handler; only sets flags.
    static void NoteSignal(bool hangUp);
};

}  // namespace uhf
