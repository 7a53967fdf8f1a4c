#include "reader/ReaderParams.h"

#include <array>

namespace uhf {

namespace {

// The members in the order of ParamField.
constexpr std::array<std::uint8_t ReaderParams::*, kParamFieldCount> kMembers{
    &ReaderParams::param100,        &ReaderParams::param112,
    &ReaderParams::cardMode,        &ReaderParams::idBorderUponDifferent,
    &ReaderParams::power,           &ReaderParams::connectPort,
    &ReaderParams::pulseWidth,      &ReaderParams::pulsePeriods,
    &ReaderParams::exportTime,      &ReaderParams::exportDistance,
    &ReaderParams::lockedFrequency, &ReaderParams::param132,
    &ReaderParams::protocol,        &ReaderParams::timeDistance,
    &ReaderParams::param137,
};

// The bounded fields in the order IsValid checks them, so that a refusal names the first.
constexpr ParamField kCheckOrder[] = {ParamField::Param137, ParamField::ConnectPort,
                                      ParamField::CardMode, ParamField::Param112,
                                      ParamField::Protocol};

const ParamFieldInfo* FirstRefused(const ReaderParams& record) {
    for (const ParamField field : kCheckOrder) {
        if (!InValidRange(FieldInfo(field), record[field])) {
            return &FieldInfo(field);
        }
    }
    for (const ParamFieldInfo& info : ParamFields()) {
        if (!InValidRange(info, record[info.field])) {
            return &info;
        }
    }
    return nullptr;
}

}  // namespace

bool ReaderParams::IsValid() const {
    return FirstRefused(*this) == nullptr;
}

std::string ReaderParams::Refusal() const {
    const ParamFieldInfo* bound = FirstRefused(*this);
    if (bound == nullptr) {
        return {};
    }
    return std::string(bound->name) + " is " + std::to_string((*this)[bound->field]) +
           ", allowed " + std::to_string(bound->low) + " to " + std::to_string(bound->high);
}

std::uint8_t& ReaderParams::operator[](ParamField field) {
    return this->*kMembers[static_cast<std::size_t>(field)];
}

std::uint8_t ReaderParams::operator[](ParamField field) const {
    return this->*kMembers[static_cast<std::size_t>(field)];
}

}  // namespace uhf
