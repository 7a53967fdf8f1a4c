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
    // and wake ReadStandardInput. On Windows the console's Ctrl-C and Ctrl-Break do what SIGINT
    // does, and its closing (or a shutdown) what SIGHUP does.
    static void Prepare();

    // The descriptor part of Prepare alone, for a program with signal handling of its own.
    static void ReserveStandardDescriptors();

    // For a command whose result goes to standard output: when that was closed as the program
    // started (`>&-`), what it prints would be lost; says so on stderr (`program: ...`) and
    // returns true, and the command must then not start.
    static bool RefuseClosedOutput(const char* program);

    // SIGINT, SIGTERM or SIGHUP arrived (on Windows, a console event of Prepare).
    static bool Interrupted();
    // SIGHUP arrived (the console was closed): the terminal is gone, and the run counts as failed.
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

#ifdef _WIN32
    // The console's handler that Prepare installs (a PHANDLER_ROUTINE): raises the flags, ends
    // the waits and answers TRUE for the events it takes. After a close or a shutdown it does not
    // return: the system ends the process when it does, and the tool must stop first.
    static int __stdcall OnConsoleEvent(unsigned long event);
#endif

  private:
    static void NoteOutputClosed();
};

}  // namespace uhf
