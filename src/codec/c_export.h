#pragma once

// Marks a function that a module exports by name with C linkage. Everything
// else in the project is built with hidden visibility.
#define KESTROVA_C_EXPORT extern "C" __attribute__((visibility("default")))
