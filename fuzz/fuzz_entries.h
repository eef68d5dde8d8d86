#pragma once
// The readers of untrusted bytes, each behind one function that takes any
// byte string. The fuzz targets (built with clang's libFuzzer by the "fuzz"
// preset) call them with mutated inputs; the normal test run replays every
// file of the corpora below fuzz/corpus through the same functions under the
// sanitizers, so an input that once broke a reader stays a test.
//
// An input a reader refuses with its own error (an Exception) is a normal
// outcome. Anything else escaping (std::bad_alloc, std::out_of_range, ...), a
// crash or a sanitizer report is a finding.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct TFuzzEntry {
    const char* Name; // also the corpus folder's name
    void (*Run)(const uint8_t* data, size_t size);
};

// Every entry, in a fixed order.
const std::vector<TFuzzEntry>& FuzzEntries();

// The entry of that name, or nullptr.
const TFuzzEntry* FindFuzzEntry(const std::string& name);

// Once per process before the first input: a memory budget small enough
// that no input may take more than a fraction of the fuzzer's limit, and
// Qt's plugins for the image readers.
void PrepareFuzzing();

// The memory budget PrepareFuzzing sets, in bytes.
inline constexpr uint64_t kFuzzMemoryBudget = uint64_t(256) << 20;

// The budget while a filter input is applied: its spectra stay small enough
// to be filtered quickly under the sanitizers.
inline constexpr uint64_t kFuzzFilterBudget = uint64_t(16) << 20;
