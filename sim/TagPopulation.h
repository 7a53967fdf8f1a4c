#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/SimConfig.h"

namespace uhf {

// The tags in front of the reader and the order in which it reports them. Reports go round the
// population, and every third report is the first tag again, as a tag close to the antenna would
// be; so every run shows some identifiers more than once.
class TagPopulation {
  public:
    // An empty list gives the default population of five tags.
    explicit TagPopulation(std::vector<TagId> ids = {});

    // `count` distinct identifiers, the same ones on every run.
    static std::vector<TagId> Generate(int count);
    // "E200680600000001,E200680600000002": 16 hexadecimal digits each; nothing on a bad list,
    // with the reason in `error`.
    static std::optional<std::vector<TagId>> ParseList(std::string_view text, std::string& error);

    // The identifier of report number `index` (0, 1, 2, ...).
    const TagId& Report(long long index) const;

    const std::vector<TagId>& Ids() const { return ids; }

  private:
    std::vector<TagId> ids;
};

}  // namespace uhf
