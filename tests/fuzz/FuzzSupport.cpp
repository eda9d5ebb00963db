#include "FuzzTarget.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

std::map<std::string, TFuzzFunction>& FuzzTargets()
{
    static std::map<std::string, TFuzzFunction> targets;
    return targets;
}

TFuzzRegistration::TFuzzRegistration(const char* name, TFuzzFunction function)
{
    FuzzTargets()[name] = function;
}

#ifdef VELMAR_LIBFUZZER
namespace {
TFuzzFunction gTarget = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const char* name = std::getenv("VELMAR_FUZZ_TARGET");
    const auto found = name ? FuzzTargets().find(name) : FuzzTargets().end();
    if (found == FuzzTargets().end()) {
        std::fprintf(stderr, "VELMAR_FUZZ_TARGET must name one of:");
        for (const auto& [known, function] : FuzzTargets())
            std::fprintf(stderr, " %s", known.c_str());
        std::fprintf(stderr, "\n");
        std::exit(2);
    }
    gTarget = found->second;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    gTarget(data, size);
    return 0;
}
#endif

void FuzzFailed(const char* file, int line, const char* condition, const QString& detail)
{
    const std::string message = std::string(file) + ":" + std::to_string(line) + ": " + condition + "\n  "
                                + detail.toStdString();
#ifdef VELMAR_LIBFUZZER
    std::fprintf(stderr, "property failed: %s\n", message.c_str());
    std::abort();
#else
    throw TFuzzFailure(message);
#endif
}

std::vector<QByteArray> FuzzFields(const std::uint8_t* data, std::size_t size, int count)
{
    std::vector<QByteArray> fields;
    const auto* text = reinterpret_cast<const char*>(data);
    std::size_t start = 0;
    for (int i = 0; i < count; ++i) {
        if (i == count - 1 || start >= size) {
            fields.emplace_back(text + std::min(start, size), static_cast<qsizetype>(size - std::min(start, size)));
            start = size;
            continue;
        }
        std::size_t end = start;
        while (end < size && text[end] != '\0')
            ++end;
        fields.emplace_back(text + start, static_cast<qsizetype>(end - start));
        start = end + 1;
    }
    return fields;
}

void FuzzEnsureGuiApplication()
{
    if (qGuiApp)
        return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "velmar_fuzz";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv); // lives as long as the process
}
