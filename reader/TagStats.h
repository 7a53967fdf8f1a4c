#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <vector>

namespace uhf {

// Counts of the tag reports taken from the link, batch by batch, each batch stamped with the time
// it was taken: per tag its count and the first and last batch it was in, and the rates. The
// reports of a batch came in after the batch before it, so the rates count from the first batch
// on, without the reports it held, whose start is unknown. A tag's rate is its share of the
// overall one.
class TagStats {
  public:
    using Clock = std::chrono::steady_clock;
    using TagId = std::array<std::uint8_t, 8>;

    struct Tag {
        TagId id{};
        long count = 0;
        Clock::duration firstSeen{};  // from the start
        Clock::duration lastSeen{};
        double perSecond = 0;
    };

    explicit TagStats(Clock::time_point start) : start(start) {}

    // `count` records of 8 bytes each, taken at `takenAt` (none: a take that found nothing,
    // which still marks the time).
    void Add(Clock::time_point takenAt, const std::uint8_t* records, int count);

    long Reports() const { return reports; }
    std::size_t Distinct() const { return tags.size(); }
    // Reports a second from the first batch to the last; 0 before there are two.
    double PerSecond() const;
    // The same over the last second (or what of it the batches mark).
    double LastSecondPerSecond() const;
    // Most reports first, then by identifier.
    std::vector<Tag> ByCount() const;

  private:
    struct Mark {
        Clock::time_point at;
        long reports = 0;  // all reports up to this batch
    };
    struct Seen {
        long count = 0;
        Clock::time_point first;
        Clock::time_point last;
    };
    static double Rate(const Mark& from, const Mark& to);

    Clock::time_point start;
    std::map<TagId, Seen> tags;
    long reports = 0;
    Mark first;
    Mark last;
    // The batches of the last second, and the one before them.
    std::deque<Mark> recent;
};

}  // namespace uhf
