#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "reader/ReaderParams.h"
#include "tesmarle/cli/TesmarleOptions.h"

namespace uhf {

// "12" as a whole number from `low` to `high`; digits only, at most seven.
std::optional<long> ParseWholeNumber(const std::string& text, long low, long high);

// The write options that set one field each ("--power").
std::vector<std::string> FieldOptionNames();

// Reads the value `text` of the field option `option`; on refusal says what it accepts.
bool ParseFieldOption(const std::string& option, const std::string& text, ParamChange& change,
                      std::string& error);

// "hop" gives 0, a channel's frequency such as 915.0 or 915 gives its number 1..50.
std::optional<std::uint8_t> ParseFrequency(const std::string& text);

// The record for people: one line per field with its name, value, unit and meaning.
std::string FormatParamsText(const ReaderParams& params);

// The record as one JSON object with the fifteen field names as keys.
std::string FormatParamsJson(const ReaderParams& params);

// The value of one field for the old -> new lines of `write` ("2 (Wiegand)").
std::string DescribeFieldValue(ParamField field, std::uint8_t value);

// Reads the shown fields from a JSON object written by `read --json`. The four carried fields
// are ignored; unknown keys, repeated keys, values that are not whole numbers in the range that
// the reader may be written (as IsValid has it) and malformed text are refused with a message.
bool ParseParamsJson(const std::string& text, std::vector<ParamChange>& changes,
                     std::string& error);

}  // namespace uhf
