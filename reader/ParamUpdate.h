#pragma once

#include <string>
#include <vector>

#include "reader/ReaderLink.h"

namespace uhf {

// The one read-modify-write of the parameter record, behind the window's "Set" and tesmarle-cli's
// write: checks each change against its field's range (a refusal sends nothing), reads the record,
// applies the changes, writes it (IsValid guards the write), reads it back and compares all bytes.
class ParamUpdate {
  public:
    enum class Outcome { Done, Refused, ReadFailed, WriteFailed, ReadBackFailed, NotKept };
    // Writes every block, or with `onlyDifferences` those that differ from the record read.
    static ParamUpdate Run(ReaderLink& link, const std::vector<ParamChange>& changes,
                           bool onlyDifferences, bool readBack);

    Outcome outcome = Outcome::Done;
    // Refused: the change out of its field's range; NotKept: the fields read back otherwise than
    // written, in the record's order.
    std::vector<ParamField> fields;
    ReaderParams before;  // as read
    ReaderParams wanted;  // with the changes applied: what was written
    ReaderParams after;   // as read back; `wanted` when not read back
    std::string error;    // why it failed; a link step's reason in the link's words
};

}  // namespace uhf
