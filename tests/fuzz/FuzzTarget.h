#pragma once

// A fuzz target is one function over a byte string that checks properties
// of what the code under test makes of it. Built with clang and libFuzzer,
// all targets are in one fuzzer that runs the one named by
// VELMAR_FUZZ_TARGET (scripts/fuzz); in the ordinary build they are linked
// into a replay program that runs each target over its seed corpus and every
// reproducer found (tests/fuzz/corpus/<target>/).

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

using TFuzzFunction = void (*)(const std::uint8_t* data, std::size_t size);

struct TFuzzRegistration
{
    TFuzzRegistration(const char* name, TFuzzFunction function);
};

// A property that does not hold: libFuzzer builds stop with the message (a
// crash with a reproducer), the replay reports it and goes on.
[[noreturn]] void FuzzFailed(const char* file, int line, const char* condition, const QString& detail);

#define FUZZ_CHECK(condition, detail)                                                                                  \
    do {                                                                                                               \
        if (!(condition))                                                                                              \
            FuzzFailed(__FILE__, __LINE__, #condition, (detail));                                                      \
    } while (false)

#define VELMAR_FUZZ_TARGET(name)                                                                                       \
    static void FuzzOne_##name(const std::uint8_t* data, std::size_t size);                                            \
    static const TFuzzRegistration gFuzzRegistration_##name(#name, FuzzOne_##name);                                    \
    static void FuzzOne_##name(const std::uint8_t* data, std::size_t size)

// Every target linked in, by name.
std::map<std::string, TFuzzFunction>& FuzzTargets();

// What FUZZ_CHECK raises in the replay.
struct TFuzzFailure : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

// The input cut at zero bytes into exactly count fields (missing ones empty,
// the last one takes the rest, zero bytes included).
std::vector<QByteArray> FuzzFields(const std::uint8_t* data, std::size_t size, int count);

// Makes sure a QGuiApplication exists (offscreen), for targets that measure text.
void FuzzEnsureGuiApplication();
