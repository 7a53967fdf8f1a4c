#pragma once

#include <cstdint>
#include <string>

#include "protocol/ParamFields.h"

namespace uhf {

// The reader's working parameters: each field is the image of one byte of the reader's parameter
// memory (addresses in ParamBlocks.h). A new record holds 0 everywhere and is not valid.
class ReaderParams {
  public:
    // True when the record may be written to the reader: every field within the range of the
    // field table (param137 0..15, connectPort 1..3, cardMode 0..1, param112 1..3,
    // protocol 1..4; no other field is bounded).
    bool IsValid() const;
    // Why IsValid refuses the record: the first field out of range, its value and its range, as
    // "param137 is 16, allowed 0 to 15"; empty when the record is valid.
    std::string Refusal() const;

    // The field by its name in the field table.
    std::uint8_t& operator[](ParamField field);
    std::uint8_t operator[](ParamField field) const;
    bool operator==(const ReaderParams&) const = default;

    std::uint8_t param100 = 0;               // 100, carried unchanged
    std::uint8_t param112 = 0;               // 112, carried unchanged
    std::uint8_t cardMode = 0;               // 135: 0 single card, 1 multi cards
    std::uint8_t idBorderUponDifferent = 0;  // 123: 1 on, 0 off
    std::uint8_t power = 0;                  // 101
    std::uint8_t connectPort = 0;            // 114: 1 RS-485, 2 Wiegand
    std::uint8_t pulseWidth = 0;             // 116, units of 10 us
    std::uint8_t pulsePeriods = 0;           // 117, units of 100 us
    std::uint8_t exportTime = 0;             // 118: 1, 2 or 3
    std::uint8_t exportDistance = 0;         // 119: n x 100 ms
    std::uint8_t lockedFrequency = 0;        // 144: 0 hopping, n = 902.5 MHz + (n - 1) x 0.5 MHz
    std::uint8_t param132 = 0;               // 132, carried unchanged
    std::uint8_t protocol = 0;               // 115: 1 W26, 2 W34, 3 W32, 4 W40
    std::uint8_t timeDistance = 0;           // 113, units of 10 ms
    std::uint8_t param137 = 0;               // 137, carried unchanged
};

}  // namespace uhf
