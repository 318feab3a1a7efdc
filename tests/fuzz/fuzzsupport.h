// Shared by the libFuzzer targets: the Qt application object and locale every target runs
// under, a property check that stops the fuzzer, and a way to cut one input into parts.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstddef>
#include <cstdint>

namespace zeltpc5::fuzzing {

// Sets up once: a QCoreApplication (the SQL and formula layers expect one) and the en_US
// locale as the user's, as the tests have it.
void InitializeOnce();

// Aborts with the property's name when it does not hold, so the fuzzer keeps the input.
void Check(bool condition, const char *property);

// The input as parts separated by the byte 0: documents and texts never hold it, so each
// part can be anything else. Missing parts are empty.
QList<QByteArray> SplitInput(const uint8_t *data, size_t size, int parts);

} // namespace zeltpc5::fuzzing
