#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "protocol/ParamFields.h"
#include "reader/ReaderParams.h"

namespace uhf {

// The values of some fields of a record, by field in the record's order: what a golden file
// names, or what a reader holds.
using FieldValues = std::array<std::optional<std::uint8_t>, kParamFieldCount>;

FieldValues ValuesOf(const std::vector<ParamChange>& changes);
// The record's values of the fields that `names` holds.
FieldValues ValuesOf(const ReaderParams& params, const FieldValues& names);

// A field's value in words, as people say it: "Wiegand34", "300ms", "150 us", "915.0 MHz",
// "hop", "30".
std::string FieldWords(ParamField field, std::uint8_t value);

// One line per differing field: "protocol: Wiegand26 → Wiegand34"; a side that lacks the field
// shows "(not given)".
std::vector<std::string> DescribeDifferences(const FieldValues& from, const FieldValues& to);

}  // namespace uhf
