#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/TesmarleOptions.h"
#include "reader/ReaderParams.h"

namespace uhf {

// One field of ReaderParams as the command line shows it.
struct TesmarleField {
    const char* name;                    // the field's name, also its JSON key
    std::uint8_t ReaderParams::*member;  // where it lives in the record
    bool shown;                          // false for the four bytes that are only carried
    const char* option;                  // the write option, or null
    std::uint8_t low;                    // range accepted from an option or a file
    std::uint8_t high;
};

// The fifteen fields in the record's order.
const std::vector<TesmarleField>& TesmarleFields();

// Index of the field named `name`, or -1.
int FindTesmarleField(const std::string& name);

// Frequency of locked channel 1..50 in MHz (902.5 + (n - 1) * 0.5).
double ChannelMHz(int channel);

// "hop" gives 0, a channel's frequency such as 915.0 or 915 gives its number 1..50.
std::optional<std::uint8_t> ParseFrequency(const std::string& text);

// The record for people: one line per field with its name, value, unit and meaning.
std::string FormatParamsText(const ReaderParams& params);

// The record as one JSON object with the fifteen field names as keys.
std::string FormatParamsJson(const ReaderParams& params);

// The value of one field for the old -> new lines of `write` ("2 (Wiegand)").
std::string DescribeFieldValue(int field, std::uint8_t value);

// Reads the shown fields from a JSON object written by `read --json`. The four carried fields
// are ignored; unknown keys, repeated keys, values that are not whole numbers in the field's
// range and malformed text are refused with a message.
bool ParseParamsJson(const std::string& text, std::vector<FieldChange>& changes,
                     std::string& error);

}  // namespace uhf
