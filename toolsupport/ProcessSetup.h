#pragma once

#include <cstddef>

namespace uhf {

// What every command-line tool does first and last, in one place.
class ProcessSetup {
  public:
    // First thing in main: standard input, output and error are made to exist (a closed one gets
    // /dev/null), so that no port or file opened later takes their number and receives what was
    // meant for the terminal; a closed pipe or a file over the size limit becomes a failed write
    // instead of a signal that kills; SIGINT, SIGTERM and SIGHUP raise the flag of Interrupted()
    // and wake ReadStandardInput.
    static void Prepare();

    // The descriptor part of Prepare alone, for a program with signal handling of its own.
    static void ReserveStandardDescriptors();

    // For a command whose result goes to standard output: when that was closed as the program
    // started (`>&-`), what it prints would be lost; says so on stderr (`program: ...`) and
    // returns true, and the command must then not start.
    static bool RefuseClosedOutput(const char* program);

    // SIGINT, SIGTERM or SIGHUP arrived.
    static bool Interrupted();
    // SIGHUP arrived: the terminal is gone, and the run counts as failed.
    static bool HungUp();

    // Reads up to `size` bytes of standard input, waiting for them no longer than until a stop
    // request: the bytes read, 0 at the end of the input, -1 when reading failed or a stop
    // request came first (Interrupted() tells which).
    static long ReadStandardInput(char* buffer, std::size_t size);

    // Last thing in main: flushes standard output and returns `status`, turned into a failure
    // when output was lost or the terminal hung up (said on stderr as `program: ...`).
    static int Finish(const char* program, int status);

    // Called by the platform's signal handler; only sets flags.
    static void NoteSignal(bool hangUp);

  private:
    static void NoteOutputClosed();
};

}  // namespace uhf
