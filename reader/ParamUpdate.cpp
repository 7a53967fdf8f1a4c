#include "reader/ParamUpdate.h"

namespace uhf {

ParamUpdate ParamUpdate::Run(ReaderLink& link, const std::vector<ParamChange>& changes,
                             bool onlyDifferences, bool readBack) {
    ParamUpdate update;
    const auto end = [&update](Outcome outcome, std::string error) {
        update.outcome = outcome;
        update.error = std::move(error);
        return update;
    };
    for (const ParamChange& change : changes) {
        if (!InValidRange(FieldInfo(change.field), change.value)) {
            update.fields = {change.field};
            return end(Outcome::Refused, std::string(FieldInfo(change.field).name) + " is " +
                                             std::to_string(change.value) + ", out of its range");
        }
    }
    if (!link.ReadParams(update.before)) {
        return end(Outcome::ReadFailed, link.LastErrorText());
    }
    update.wanted = update.before;
    for (const ParamChange& change : changes) {
        update.wanted[change.field] = static_cast<std::uint8_t>(change.value);
    }
    const unsigned blocks = onlyDifferences ? DifferingBlocks(update.before, update.wanted)
                                            : ReaderLink::kAllParamBlocks;
    if (blocks != 0 && !link.WriteParams(update.wanted, blocks)) {
        return end(Outcome::WriteFailed, link.LastErrorText());
    }
    update.after = update.wanted;
    if (readBack && !link.ReadParams(update.after)) {
        return end(Outcome::ReadBackFailed, link.LastErrorText());
    }
    for (const ParamFieldInfo& info : ParamFields()) {
        if (update.wanted[info.field] != update.after[info.field]) {
            update.fields.push_back(info.field);
        }
    }
    return end(update.fields.empty() ? Outcome::Done : Outcome::NotKept, {});
}

}  // namespace uhf
