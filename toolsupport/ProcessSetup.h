#pragma once

#include <cstddef>
#include <functional>
#include <ostream>

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

    // What standard error is, for output that redraws a line in place.
    enum class Terminal {
        None,             // a pipe or a file: whole lines only
        PlainLines,       // a console that shows escape sequences as text: a carriage return
                          // and blanks redraw a line
        EscapeSequences,  // a terminal, or a console that interprets them
    };
    // On Windows as Prepare found it (None before).
    static Terminal ErrorTerminal();

#ifdef _WIN32
    // The console's handler that Prepare installs (a PHANDLER_ROUTINE): raises the flags, ends
    // the waits and answers TRUE for the events it takes. After a close or a shutdown it does not
    // return: the system ends the process when it does, and the tool must stop first.
    static int __stdcall OnConsoleEvent(unsigned long event);

    // Called by wmain: `run` with the arguments, converted once from UTF-16 to UTF-8, so that a
    // name the ANSI code page cannot spell arrives whole.
    static int RunWithUtf8Arguments(int argc, wchar_t** argv, int (*run)(int, char**));

    // The console calls of Prepare. Tests put steps here that fail as Windows documents: every
    // one on a handle that is no console (redirected), and SetConsoleMode refusing
    // virtual-terminal processing on consoles before Windows 10.
    struct ConsoleCalls {
        std::function<bool(void* handle, unsigned long& mode)> getMode;
        std::function<bool(void* handle, unsigned long mode)> setMode;
        std::function<bool(void* handle, const wchar_t* text, unsigned long count)> write;
    };
    static ConsoleCalls console;

    // What Prepare does for standard output and error: when `handle` is a console, `stream`
    // writes there from then on in UTF-16, as a console shows any character that way and from
    // bytes only those of its code page; with `escapes` it asks the console to interpret escape
    // sequences. Redirected, the stream keeps writing the UTF-8 bytes.
    static Terminal AttachConsole(std::ostream& stream, void* handle, bool escapes);
#endif

  private:
    static void NoteOutputClosed();
};

}  // namespace uhf
