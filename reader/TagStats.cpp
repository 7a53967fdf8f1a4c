#include "reader/TagStats.h"

#include <algorithm>

namespace uhf {

void TagStats::Add(Clock::time_point takenAt, const std::uint8_t* records, int count) {
    for (int i = 0; i < count; ++i) {
        TagId id;
        std::copy_n(records + static_cast<std::ptrdiff_t>(i) * 8, 8, id.begin());
        Seen& seen = tags[id];
        if (seen.count++ == 0) {
            seen.first = takenAt;
        }
        seen.last = takenAt;
    }
    reports += std::max(count, 0);
    last = Mark{takenAt, reports};
    if (recent.empty()) {
        first = last;
    }
    recent.push_back(last);
    while (recent.size() > 1 && recent[1].at <= takenAt - std::chrono::seconds(1)) {
        recent.pop_front();
    }
}

double TagStats::Rate(const Mark& from, const Mark& to) {
    const double seconds = std::chrono::duration<double>(to.at - from.at).count();
    return seconds > 0 ? static_cast<double>(to.reports - from.reports) / seconds : 0.0;
}

double TagStats::PerSecond() const {
    return Rate(first, last);
}

double TagStats::LastSecondPerSecond() const {
    return recent.empty() ? 0.0 : Rate(recent.front(), last);
}

std::vector<TagStats::Tag> TagStats::ByCount() const {
    std::vector<Tag> rows;
    const double overall = PerSecond();
    for (const auto& [id, seen] : tags) {
        rows.push_back(Tag{
            id, seen.count, seen.first - start, seen.last - start,
            reports > 0 ? overall * static_cast<double>(seen.count) / static_cast<double>(reports)
                        : 0.0});
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const Tag& a, const Tag& b) { return a.count > b.count; });
    return rows;
}

}  // namespace uhf
