#include "reader/ParamUpdate.h"

namespace uhf {

ParamUpdate ParamUpdate::Run(ReaderLink& link, const std::vector<ParamChange>& changes,
                             bool onlyDifferences, bool readBack) {
    ParamUpdate update;
    const auto fail = [&](Outcome outcome) {
        update.outcome = outcome;
        update.error = link.LastErrorText();
        return update;
    };
    for (const ParamChange& change : changes) {
        const ParamFieldInfo& info = FieldInfo(change.field);
        if (change.value < info.low || change.value > info.high) {
            update.outcome = Outcome::Refused;
            update.refused = change.field;
            update.error = std::string(info.name) + " is " + std::to_string(change.value) +
                           ", out of its range";
            return update;
        }
    }
    if (!link.ReadParams(update.before)) {
        return fail(Outcome::ReadFailed);
    }
    update.wanted = update.before;
    for (const ParamChange& change : changes) {
        update.wanted[change.field] = static_cast<std::uint8_t>(change.value);
    }
    update.blocks = onlyDifferences ? DifferingBlocks(update.before, update.wanted)
                                    : ReaderLink::kAllParamBlocks;
    if (update.blocks != 0 && !link.WriteParamBlocks(update.wanted, update.blocks)) {
        return fail(Outcome::WriteFailed);
    }
    update.after = update.wanted;
    if (readBack && !link.ReadParams(update.after)) {
        return fail(Outcome::ReadBackFailed);
    }
    for (const ParamFieldInfo& info : ParamFields()) {
        if (update.wanted[info.field] != update.after[info.field]) {
            update.unkept.push_back(info.field);
        }
    }
    update.outcome = update.unkept.empty() ? Outcome::Done : Outcome::NotKept;
    return update;
}

}  // namespace uhf
