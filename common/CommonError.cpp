#include "common/CommonError.h"

namespace uhf {

const char* ToString(CommonError error) {
    switch (error) {
        case CommonError::None:
            return "no error";
        case CommonError::FileTooLarge:
            return "settings file too large";
        case CommonError::ReadFailed:
            return "settings file could not be read";
        case CommonError::ReadOnly:
            return "settings file is read-only";
        case CommonError::InvalidText:
            return "section, key or value cannot be stored in a settings file";
        case CommonError::TempCreateFailed:
            return "could not create the new file beside the old one";
        case CommonError::TempWriteFailed:
            return "could not write the new file";
        case CommonError::ReplaceFailed:
            return "could not replace the file with the new one";
        case CommonError::WriteAbandoned:
            return "write abandoned before the file was replaced";
        case CommonError::NoPorts:
            return "no serial port found";
    }
    return "unknown error";
}

}  // namespace uhf
