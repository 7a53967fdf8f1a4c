#include "ui/qt/WindowArguments.h"

#include <QApplication>
#include <QStringList>
#include <cstdio>

#include "ui/TraceOption.h"
#include "version/ProgramVersion.h"

namespace uhf {

bool AnswerVersionOrUsage(const char* program, const char* about, int argc, char** argv) {
    if (PrintVersionIfAsked(program, argc, argv)) {
        return true;
    }
    if (!AsksForHelp(argc, argv)) {
        return false;
    }
    std::printf("usage: %s [--trace FILE] [PORT...]\n%s", program, about);
    std::fputs(
        "  --trace FILE   write every frame on the line to FILE (- standard error)\n"
        "  -h, --help     show this text\n"
        "  --version      show the version\n"
        "  Qt's own options are taken too, e.g. -platform offscreen.\n",
        stdout);
    return true;
}

std::optional<std::vector<std::string>> TakeWindowArguments(const char* program, TraceLog& trace) {
    std::vector<std::string> named;
    for (const QString& argument : QApplication::arguments().mid(1)) {
        named.push_back(argument.toStdString());
    }
    std::string error;
    if (!TakeTraceOption(named, trace, error)) {
        std::fprintf(stderr, "%s: %s\n", program, error.c_str());
        return std::nullopt;
    }
    return named;
}

}  // namespace uhf
