#pragma once

#include <mutex>
#include <ostream>
#include <streambuf>
#include <string>

namespace uhf {

// A stream buffer that hands whole lines to a shared stream, each behind a prefix ("PORT: "),
// so that several threads can print at once without mixing their lines. `mutex` guards `target`
// for every writer that shares it. Each line, prefix and all, reaches `target` in one write.
class LinePrefixer : public std::streambuf {
  public:
    LinePrefixer(std::ostream& target, std::mutex& mutex, std::string prefix);
    ~LinePrefixer() override;
    LinePrefixer(const LinePrefixer&) = delete;
    LinePrefixer& operator=(const LinePrefixer&) = delete;

  protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

  private:
    void Emit();

    std::ostream& target;
    std::mutex& mutex;
    std::string prefix;
    std::string pending;
};

}  // namespace uhf
