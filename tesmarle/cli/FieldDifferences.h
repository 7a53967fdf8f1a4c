#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tesmarle/cli/TesmarleOptions.h"
#include "protocol/ParamFields.h"
#include "reader/ReaderParams.h"

namespace uhf {

// The values of some fields of a record, by field in the record's order: what a golden file
// names, or what a reader holds.
using FieldValues = std::array<std::optional<std::uint8_t>, kParamFieldCount>;

FieldValues ValuesOf(const std::vector<FieldChange>& changes);
// Every field of the record, or only the shown ones.
FieldValues ValuesOf(const ReaderParams& params, bool shownOnly);
// `values` with only the fields that `names` holds.
FieldValues Restricted(const FieldValues& values, const FieldValues& names);

// A field's value in words, as people say it: "Wiegand34", "300ms", "150 us", "915.0 MHz",
// "hop", "30".
std::string FieldWords(int field, std::uint8_t value);

// The fields, in the record's order, that one side holds and the other lacks or holds otherwise.
std::vector<int> DifferingFields(const FieldValues& a, const FieldValues& b);

// One line per differing field: "protocol: Wiegand26 → Wiegand34"; a side that lacks the field
// shows "(not given)".
std::vector<std::string> DescribeDifferences(const FieldValues& from, const FieldValues& to);

}  // namespace uhf
