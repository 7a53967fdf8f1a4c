#pragma once

namespace uhf {

// Why an operation of the settings and port-list layer did not do its work.
enum class CommonError {
    None,
    FileTooLarge,  // the settings file is bigger than any settings file we write
    ReadFailed,    // the settings file exists but could not be read
    ReadOnly,      // the settings file is read-only, or this user may not write it
    InvalidText,   // a section, key or value that cannot be stored on one line
    TempCreateFailed,
    TempWriteFailed,
    ReplaceFailed,   // the new contents could not take the old file's place
    WriteAbandoned,  // the write was stopped before the new contents replaced the file
    NoPorts,         // the port enumeration found nothing (or no port list exists)
};

const char* ToString(CommonError error);

}  // namespace uhf
