#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace uhf {

// Runs a command-line tool's job on every port given. One port: on the caller's thread, with the
// caller's streams. Several: all at once, one thread each, every line a job writes behind its
// port ("PORT: "), then a table of what each did (port, result, seconds, the tool's own columns,
// the message). Either way the exit status is the worst of the jobs': 0 only when every one
// succeeded.
class PortRunner {
  public:
    // What a job is given. Its streams are its own: a job writes them from its thread alone.
    struct Job {
        std::size_t index;  // of `port` in the list
        const std::string& port;
        std::ostream& out;
        std::ostream& err;
        std::chrono::steady_clock::time_point started;

        double Seconds() const;
    };
    // What a job did: its exit status (ExitStatus.h), its message (the reason of a failure or
    // what it found) and a value for each of the tool's own columns.
    struct Outcome {
        int status = 0;
        std::string message;
        std::vector<std::string> columns;
    };
    using Work = std::function<Outcome(const Job& job)>;

    PortRunner(std::ostream& out, std::ostream& err);

    // The headings of the tool's own columns, between seconds and the message, each value
    // right-aligned under its heading; `messageHeading` names the last column, "" leaves it
    // unnamed.
    void SetColumns(std::vector<std::string> headings, std::string messageHeading);

    // No port at all runs the job once, with an empty port (a command that names none).
    int Run(const std::vector<std::string>& ports, const Work& work);

    // The error stream of the job on this thread, `otherwise` on any other thread: for what a
    // layer below says without knowing the port (a slow adapter's warning).
    static std::ostream& ErrOfThisThread(std::ostream& otherwise);

  private:
    struct Row {
        Outcome outcome;
        double seconds = 0;
    };

    static Row RunJob(const Job& job, const Work& work);
    void PrintTable(const std::vector<std::string>& ports, const std::vector<Row>& rows) const;

    std::ostream& out;
    std::ostream& err;
    std::vector<std::string> headings;
    std::string messageHeading = "message";
};

}  // namespace uhf
