// Runs fuzz targets over stored inputs: velmar_fuzz_replay TARGET FOLDER...
// Every file of every folder is one input; any property that fails is
// reported with its file, and the run fails.

#include "FuzzTarget.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

int main(int argc, char* argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s TARGET FOLDER...\n", argv[0]);
        return 2;
    }
    const auto target = FuzzTargets().find(argv[1]);
    if (target == FuzzTargets().end()) {
        std::fprintf(stderr, "no fuzz target %s\n", argv[1]);
        return 2;
    }
    int inputs = 0;
    int failures = 0;
    for (int i = 2; i < argc; ++i) {
        const QDir folder(QFile::decodeName(argv[i]));
        for (const QFileInfo& file : folder.entryInfoList(QDir::Files | QDir::Hidden, QDir::Name)) {
            QFile input(file.filePath());
            if (!input.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "%s: cannot read\n", qPrintable(file.filePath()));
                ++failures;
                continue;
            }
            const QByteArray bytes = input.readAll();
            ++inputs;
            try {
                target->second(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                               static_cast<std::size_t>(bytes.size()));
            } catch (const TFuzzFailure& failure) {
                std::fprintf(stderr, "%s:\n  %s\n", qPrintable(file.filePath()), failure.what());
                ++failures;
            }
        }
    }
    std::printf("%s: %d inputs, %d failed\n", argv[1], inputs, failures);
    return failures == 0 && inputs > 0 ? 0 : 1;
}
