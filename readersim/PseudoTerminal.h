#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace uhf {

// The simulator's end of a pseudo-terminal pair: the tool opens the slave as its serial port,
// the simulator reads and writes the master. On Linux the master reports the line settings the
// tool made on the slave, so the rate the tool chose can be read here.
class PseudoTerminal {
  public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // Creates the pair and puts the slave in raw mode at `baud`, so that a tool that opens it
    // without setting it up sees no echo. False, with the reason in `error`, on failure.
    bool Open(int baud, std::string& error);
    void Close();

    const std::string& SlavePath() const { return slavePath; }

    // The rate set on the slave, in baud; 0 when it cannot be read.
    int LineBaud() const;

    enum class Wait { Readable, Timeout, NoPeer, Interrupted, Error };
    // Waits up to `timeoutUs` microseconds (so that bytes paced at 115200 baud leave on time)
    // for bytes from the tool. NoPeer: no process has the slave open, returned at once.
    Wait WaitReadableMicros(long long timeoutUs) const;

    // Reads what is there without blocking; -1 on error, 0 when nothing is there.
    long Read(std::uint8_t* buffer, std::size_t capacity);
    // Writes without blocking; returns the bytes taken, which is fewer than `count` when the
    // tool does not read and the terminal's buffer is full; -1 on error.
    long Write(const std::uint8_t* bytes, std::size_t count);

  private:
    int master = -1;
    std::string slavePath;
};

}  // namespace uhf
