#include "tesmarle/cli/TesmarleRunner.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <set>
#include <thread>

#include "protocol/FrameSplitter.h"
#include "reader/ParamUpdate.h"
#include "reader/TagStats.h"
#include "serial/NativeSerialPort.h"
#include "tesmarle/cli/DoctorReport.h"
#include "tesmarle/cli/FieldDifferences.h"
#include "tesmarle/cli/TesmarleFields.h"
#include "toolsupport/InputFile.h"
#include "toolsupport/JsonText.h"

namespace uhf {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kMaxFromFileSize = 64 * 1024;
constexpr std::chrono::milliseconds kPollStep{20};

// "A0 02 FE ..." as the text shows a tag; without the spaces in the other formats.
std::string TagHex(const std::uint8_t* id, bool spaced = false) {
    std::string text = HexText(id, ReaderLink::kTagRecordSize);
    if (!spaced) {
        std::erase(text, ' ');
    }
    return text;
}

std::string Fixed(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

double Seconds(Clock::duration time) {
    return std::chrono::duration<double>(time).count();
}

// tags --stats: a row per tag, most reports first, then the totals, in the command's format.
std::string FormatTagStats(const TagStats& stats, TesmarleFormat format) {
    const std::vector<TagStats::Tag> tags = stats.ByCount();
    const std::string reports = std::to_string(stats.Reports());
    const std::string distinct = std::to_string(stats.Distinct());
    std::string text;
    switch (format) {
        case TesmarleFormat::Text:
            text = "tag                count   first s    last s   reads/s\n";
            for (const TagStats::Tag& tag : tags) {
                char row[96];
                std::snprintf(row, sizeof row, "%s %6ld %9.3f %9.3f %9.1f\n",
                              TagHex(tag.id.data()).c_str(), tag.count, Seconds(tag.firstSeen),
                              Seconds(tag.lastSeen), tag.perSecond);
                text += row;
            }
            return text + reports + " reports, " + distinct + " distinct tags, " +
                   Fixed(stats.PerSecond(), 1) + " reports a second (" +
                   Fixed(stats.LastSecondPerSecond(), 1) + " over the last second)\n";
        case TesmarleFormat::Json:
            text = "{\"stats\": [";
            for (std::size_t i = 0; i < tags.size(); ++i) {
                text += (i == 0 ? "" : ", ") + std::string("{\"tag\": \"") +
                        TagHex(tags[i].id.data()) +
                        "\", \"count\": " + std::to_string(tags[i].count) +
                        ", \"firstSeen\": " + Fixed(Seconds(tags[i].firstSeen), 3) +
                        ", \"lastSeen\": " + Fixed(Seconds(tags[i].lastSeen), 3) +
                        ", \"perSecond\": " + Fixed(tags[i].perSecond, 3) + "}";
            }
            return text + "], \"reports\": " + reports + ", \"distinctTags\": " + distinct +
                   ", \"perSecond\": " + Fixed(stats.PerSecond(), 3) +
                   ", \"lastSecondPerSecond\": " + Fixed(stats.LastSecondPerSecond(), 3) + "}\n";
        case TesmarleFormat::Csv:
            text = "\ntag,count,firstSeen,lastSeen,perSecond\n";
            for (const TagStats::Tag& tag : tags) {
                text += TagHex(tag.id.data()) + "," + std::to_string(tag.count) + "," +
                        Fixed(Seconds(tag.firstSeen), 3) + "," + Fixed(Seconds(tag.lastSeen), 3) +
                        "," + Fixed(tag.perSecond, 3) + "\n";
            }
            return text + "\nreports,distinctTags,perSecond,lastSecondPerSecond\n" + reports + "," +
                   distinct + "," + Fixed(stats.PerSecond(), 3) + "," +
                   Fixed(stats.LastSecondPerSecond(), 3) + "\n";
    }
    return text;
}

// One object a line, every key always present.
std::string FormatPortsJson(const std::vector<PortInfo>& ports) {
    std::string json = "[";
    for (std::size_t i = 0; i < ports.size(); ++i) {
        const PortInfo& p = ports[i];
        json += (i == 0 ? "\n" : ",\n");
        json += "  {\"path\": " + JsonText(p.path) + ", \"byId\": " + JsonText(p.byIdPath) +
                ", \"vendorId\": " + JsonText(p.vendorId) +
                ", \"productId\": " + JsonText(p.productId) +
                ", \"manufacturer\": " + JsonText(p.manufacturer) +
                ", \"product\": " + JsonText(p.product) +
                ", \"serialNumber\": " + JsonText(p.serialNumber) +
                ", \"driver\": " + JsonText(p.driver) + "}";
    }
    return json + (ports.empty() ? "]\n" : "\n]\n");
}

}  // namespace

TesmarleRunner::TesmarleRunner(ReaderLink& readerLink, std::ostream& output, std::ostream& errors,
                               Services given)
    : link(readerLink), out(output), err(errors), services(std::move(given)) {}

int TesmarleRunner::Fail(const std::string& step) {
    return Refuse(step + " failed: " + link.LastErrorText(), kExitFailure);
}

int TesmarleRunner::FailWrite(const ReaderParams& before, const ReaderParams& wanted) {
    std::string message = "write parameters failed: " + link.LastErrorText();
    const int index = link.UncertainBlock();
    if (index < 0) {
        return Refuse(message, kExitFailure);
    }
    // The write is never sent again: a read tells whether the reader carried it out.
    ReaderParams now;
    if (!link.ReadParams(now)) {
        return Refuse(message + "; it could not be read back: " + link.LastErrorText(),
                      kExitFailure);
    }
    outcome.after = now;
    const unsigned bit = 1u << index;
    const bool isNew = (DifferingBlocks(now, wanted) & bit) == 0;
    const bool isOld = (DifferingBlocks(now, before) & bit) == 0;
    // The fields the write was to change, as the reader holds them now.
    const ParamBlock& block = kParamBlocks[static_cast<std::size_t>(index)];
    std::string fields;
    for (int i = 0; i < block.writeLength; ++i) {
        const ParamFieldInfo* info = FieldAtAddress(block.address + i);
        if (info != nullptr && before[info->field] != wanted[info->field]) {
            fields += (fields.empty() ? " (" : ", ") + std::string(info->name) + " " +
                      FieldWords(info->field, now[info->field]);
        }
    }
    fields += fields.empty() ? "" : ")";
    message += "; a read now shows ";
    if (isNew && isOld) {
        message += "it as meant, the same as before";
    } else if (isNew) {
        message += "the new values in it" + fields + ": the reader wrote it";
    } else if (isOld) {
        message += "the old values in it" + fields + ": the reader did not write it";
    } else {
        message += "neither the old nor the new values in it" + fields;
    }
    return Refuse(message, kExitFailure);
}

int TesmarleRunner::Refuse(const std::string& message, int status) {
    outcome.message = message;
    err << "tesmarle-cli: " << message << "\n";
    return status;
}

bool TesmarleRunner::OpenPort(const TesmarleOptions& options) {
    if (services.interrupted()) {
        Refuse("stopped on request before the port was opened", kExitFailure);
        return false;
    }
    int baud = options.baudRate;
    if (baud == kAutoBaud) {
        const std::unique_ptr<SerialPort> scanPort =
            services.makeScanPort ? services.makeScanPort() : std::make_unique<NativeSerialPort>();
        const ReaderProbe::Outcome found =
            ReaderProbe(*scanPort, services.interrupted).FindStopRate(options.port);
        // Kept as the outcome too, so that a line's table and report say why.
        if (found.openError != SerialError::None) {
            Refuse("open " + options.port + " failed: " + ToString(found.openError), kExitFailure);
            return false;
        }
        if (found.stopped) {
            Refuse("-b auto: stopped before the reader was found", kExitFailure);
            return false;
        }
        if (!found.baud) {
            Refuse(
                "-b auto: the reader answered Stop at no rate: check power and wiring, TX/RX "
                "may be swapped (tesmarle-cli -p " +
                    options.port + " doctor tells more)",
                kExitFailure);
            return false;
        }
        baud = *found.baud;
        err << "tesmarle-cli: found the reader at " << baud << " baud\n";
    }
    if (link.Open(options.port, baud)) {
        return true;
    }
    Refuse("open " + options.port + " failed: " + ToString(link.LastOpenError()), kExitFailure);
    return false;
}

int TesmarleRunner::Run(const TesmarleOptions& options) {
    outcome = {};
    // After a stop request nothing that changes the reader goes out: no block write, no Resume.
    link.SetStopCheck(services.interrupted);
    switch (options.action) {
        case TesmarleAction::Help:
            out << TesmarleUsage();
            return kExitOk;
        case TesmarleAction::Read:
            return RunRead(options);
        case TesmarleAction::Write:
            return RunWrite(options);
        case TesmarleAction::Resume:
            return RunResume(options);
        case TesmarleAction::Tags:
            return RunTags(options);
        case TesmarleAction::Ports:
            return RunPorts(options);
        case TesmarleAction::Doctor:
            return RunDoctor(options);
        case TesmarleAction::Check:
            return RunCheck(options);
        case TesmarleAction::Diff:
            return RunDiff(options);
        case TesmarleAction::None:
            break;
    }
    err << "tesmarle-cli: no command given\n" << TesmarleUsage();
    return kExitUsage;
}

int TesmarleRunner::ReadRecord(const TesmarleOptions& options) {
    if (!OpenPort(options)) {
        return kExitFailure;
    }
    (void)link.Stop();  // a reader that was working answers nothing else
    ReaderParams params;
    if (!link.ReadParams(params)) {
        return Fail("read parameters");
    }
    link.Close();
    outcome.after = params;
    return kExitOk;
}

int TesmarleRunner::RunRead(const TesmarleOptions& options) {
    if (const int status = ReadRecord(options); status != kExitOk) {
        return status;
    }
    out << (options.format == TesmarleFormat::Json ? FormatParamsJson(*outcome.after) + "\n"
                                                   : FormatParamsText(*outcome.after));
    return kExitOk;
}

bool TesmarleRunner::ReadFromFile(const std::string& path, std::vector<ParamChange>& changes,
                                  int& status) {
    std::string text;
    std::string error;
    // A file that cannot be read fails as a firmware file does in ferrowin-cli; one that is not
    // a record, a file far too large to be one included, is a usage error.
    const InputFile::Result read = InputFile::ReadSmall(path, kMaxFromFileSize, text, error);
    if (read != InputFile::Result::Read) {
        status = Refuse("--from " + path + ": " + error,
                        read == InputFile::Result::TooLarge ? kExitUsage : kExitFailure);
        return false;
    }
    if (!ParseParamsJson(text, changes, error)) {
        status = Refuse("--from " + path + ": " + error, kExitUsage);
        return false;
    }
    // "{}" would match every reader and change nothing: a golden file that says nothing.
    if (changes.empty()) {
        status = Refuse("--from " + path +
                            ": the record names none of the shown fields, so nothing could be "
                            "compared or written",
                        kExitUsage);
        return false;
    }
    return true;
}

int TesmarleRunner::RunWrite(const TesmarleOptions& options) {
    // Everything from the user is checked before the port is opened.
    std::vector<ParamChange> changes;
    int status = kExitOk;
    if (!options.fromFile.empty() && !ReadFromFile(options.fromFile, changes, status)) {
        return status;
    }
    // Options given beside --from win: they are applied after the file's fields.
    changes.insert(changes.end(), options.changes.begin(), options.changes.end());

    if (!OpenPort(options)) {
        return kExitFailure;
    }
    (void)link.Stop();
    const ParamUpdate update =
        ParamUpdate::Run(link, changes, options.onlyDifferences, options.verify);
    using Outcome = ParamUpdate::Outcome;
    if (update.outcome == Outcome::ReadFailed || update.outcome == Outcome::Refused) {
        const char* step = update.outcome == Outcome::Refused ? "write" : "read";
        return Refuse(step + std::string(" parameters failed: ") + update.error, kExitFailure);
    }
    outcome.before = update.before;
    if (update.outcome == Outcome::WriteFailed) {
        return FailWrite(update.before, update.wanted);
    }
    if (update.outcome == Outcome::ReadBackFailed) {
        return Fail("read back");
    }
    outcome.after = update.after;
    link.Close();
    // One line per field named, in the record's order.
    std::set<ParamField> named;
    for (const ParamChange& change : changes) {
        named.insert(change.field);
    }
    for (const ParamField field : named) {
        out << FieldInfo(field).name << ": " << DescribeFieldValue(field, update.before[field]);
        if (update.before[field] == update.wanted[field]) {
            out << " (unchanged)\n";
        } else {
            out << " \u2192 " << DescribeFieldValue(field, update.wanted[field]) << "\n";
        }
    }
    const bool nothing = options.onlyDifferences && update.before == update.wanted;
    out << (nothing ? "nothing to write: the reader holds every field already\n" : "written\n");
    if (update.outcome == Outcome::Done) {
        out << (options.verify ? "verified\n" : "");
        return kExitOk;
    }
    // Every byte counts, the carried ones too: a reader that dropped a block shows here.
    std::string differences;
    for (const ParamField field : update.fields) {
        differences += (differences.empty() ? "" : "; ") + std::string(FieldInfo(field).name) +
                       " written " + FieldWords(field, update.wanted[field]) + ", read back " +
                       FieldWords(field, update.after[field]);
    }
    return Refuse("verify failed: " + differences, kExitFailure);
}

int TesmarleRunner::RunCheck(const TesmarleOptions& options) {
    std::vector<ParamChange> golden;
    int status = kExitOk;
    if (!ReadFromFile(options.fromFile, golden, status)) {
        return status;
    }
    if (status = ReadRecord(options); status != kExitOk) {
        return status;
    }
    const FieldValues wanted = ValuesOf(golden);
    const auto lines = DescribeDifferences(ValuesOf(*outcome.after, wanted), wanted);
    for (const std::string& line : lines) {
        out << line << "\n";
    }
    const auto compared = std::count_if(wanted.begin(), wanted.end(),
                                        [](const auto& value) { return value.has_value(); });
    const std::string count = std::to_string(compared) + (compared == 1 ? " field" : " fields");
    if (lines.empty()) {
        out << "matches " << options.fromFile << ": " << count << " compared\n";
        return kExitOk;
    }
    outcome.message = std::to_string(lines.size()) + " of " + count +
                      (lines.size() == 1 ? " differs" : " differ") + " from " + options.fromFile;
    return kExitFailure;
}

int TesmarleRunner::RunDiff(const TesmarleOptions& options) {
    std::array<FieldValues, 2> sides;
    for (std::size_t i = 0; i < sides.size(); ++i) {
        std::vector<ParamChange> fields;
        int status = kExitOk;
        if (!ReadFromFile(options.files[i], fields, status)) {
            return status;
        }
        sides[i] = ValuesOf(fields);
    }
    const auto lines = DescribeDifferences(sides[0], sides[1]);
    for (const std::string& line : lines) {
        out << line << "\n";
    }
    return lines.empty() ? kExitOk : kExitFailure;
}

int TesmarleRunner::RunResume(const TesmarleOptions& options) {
    if (!OpenPort(options)) {
        return kExitFailure;
    }
    if (!link.Resume()) {
        return Fail("resume");
    }
    link.Close();
    out << "resumed\n";
    return kExitOk;
}

int TesmarleRunner::RunTags(const TesmarleOptions& options) {
    // --seconds counts from here: the whole command, the exchanges that start collection included,
    // ends once they have run out and the reader has answered the final Stop.
    const auto start = Clock::now();
    if (!OpenPort(options)) {
        return kExitFailure;
    }
    // Every report the reader sends before its Stop answer is printed, none left in the store.
    link.KeepEveryTagReport(true);
    if (!link.StartTagCollection()) {
        return Fail("start tag collection");
    }
    if (options.format == TesmarleFormat::Csv) {
        out << "n,tag\n" << std::flush;
    }

    TagStats stats(start);
    std::vector<std::uint8_t> store(ReaderLink::kTagStoreSize);
    // The records taken are those that came before `takenAt`.
    auto takeAndPrint = [&](Clock::time_point takenAt) {
        const int count = link.TakeTagRecords(store.data());
        stats.Add(takenAt, store.data(), count);
        for (int i = 0; i < count; ++i) {
            const std::uint8_t* id = store.data() + i * ReaderLink::kTagRecordSize;
            const long n = stats.Reports() - count + i + 1;
            const std::string hex = TagHex(id);
            switch (options.format) {
                case TesmarleFormat::Text:
                    out << n << "  " << TagHex(id, true) << "\n";
                    break;
                case TesmarleFormat::Json:
                    out << "{\"n\": " << n << ", \"tag\": \"" << hex << "\"}\n";
                    break;
                case TesmarleFormat::Csv:
                    out << n << "," << hex << "\n";
                    break;
            }
            // One row, one write: a reader of a pipe (`| head -1`) has each row as it comes.
            out << std::flush;
        }
    };

    const auto end = options.seconds ? start + std::chrono::duration_cast<Clock::duration>(
                                                   std::chrono::duration<double>(*options.seconds))
                                     : Clock::time_point::max();
    auto nextTake = Clock::now() + kTakeInterval;
    int status = kExitOk;
    // Output that can no longer be written ends the collection as Ctrl-C does: nobody reads the
    // rows any more (a pipe to `head` that has closed, a full disk).
    while (!services.interrupted() && out) {
        if (link.ReceiveReadFailed()) {
            status = Refuse(std::string("tags failed: ") + ToString(LinkError::PortFailed),
                            kExitFailure);
            break;
        }
        const auto now = Clock::now();
        if (now >= end) {
            break;
        }
        if (now >= nextTake) {
            takeAndPrint(now);
            nextTake += kTakeInterval;
            continue;
        }
        std::this_thread::sleep_for(
            std::min<Clock::duration>({kPollStep, nextTake - now, end - now}));
    }
    // What comes until the reader hears Stop came before it was sent.
    const auto stopSentAt = Clock::now();
    takeAndPrint(stopSentAt);
    if (!link.Stop() && status == kExitOk) {
        status = Fail("stop");
    }
    // Close waits for the receive thread, so its last records are in the store for the take.
    link.Close();
    takeAndPrint(stopSentAt);
    if (options.stats) {
        out << FormatTagStats(stats, options.format);
    }
    if (!options.stats || options.format != TesmarleFormat::Text) {
        std::ostream& summary = options.format == TesmarleFormat::Text ? out : err;
        const long reports = stats.Reports();
        summary << reports << (reports == 1 ? " report, " : " reports, ") << stats.Distinct()
                << (stats.Distinct() == 1 ? " distinct tag" : " distinct tags") << "\n";
    }
    return status;
}

int TesmarleRunner::RunPorts(const TesmarleOptions& options) {
    const std::vector<PortInfo> ports =
        services.listPorts ? services.listPorts() : std::vector<PortInfo>{};
    if (options.format == TesmarleFormat::Json) {
        out << FormatPortsJson(ports);  // "[]" too, so that a script always gets a list
    } else {
        for (const PortInfo& port : ports) {
            out << port.path << "\n";
        }
    }
    if (ports.empty()) {
        err << "tesmarle-cli: no serial port found\n";
        return kExitFailure;
    }
    return kExitOk;
}

int TesmarleRunner::RunDoctor(const TesmarleOptions& options) {
    const LinkDoctor* doctor = services.doctor;
    if (doctor == nullptr) {
        err << "tesmarle-cli: doctor is not available here\n";
        return kExitFailure;
    }
    const LinkDoctor::Request request{options.loaderProbe, services.interrupted};
    outcome.diagnoses = options.port.empty() ? doctor->ExamineAll(request)
                                             : std::vector{doctor->Examine(options.port, request)};
    const std::vector<PortDiagnosis>& ports = outcome.diagnoses;
    const std::vector<ProcessInfo> grabbers = doctor->FindGrabbers();
    out << (options.format == TesmarleFormat::Json ? DoctorReport::Json(ports, grabbers)
                                                   : DoctorReport::Text(ports, grabbers));
    const bool stopped =
        services.interrupted() ||
        std::any_of(ports.begin(), ports.end(), [](const PortDiagnosis& d) { return d.stopped; });
    return LinkDoctor::ReaderAnswered(ports) && !stopped ? kExitOk : kExitFailure;
}

}  // namespace uhf
