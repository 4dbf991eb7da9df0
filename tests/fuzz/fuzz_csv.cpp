// The CSV reader and the whole batch on arbitrary bytes. Besides the sanitizers, it checks that
// the records do not depend on how the input arrives, and that the output reads back: one
// record of twelve fields per row, echoing the four input fields.

#include "cli/BatchAssessment.h"

#include "MemoryReader.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

using namespace vimora::cli;
using namespace vimora::csv;

namespace {

// Small, so that the limit is reached often.
constexpr std::size_t kMaxRecordSize = 256;

struct Reading {
    std::vector<std::vector<std::string>> records;
    std::string error;

    bool operator==(const Reading&) const = default;
};

Reading readAll(std::string_view text, std::size_t pieceSize, std::size_t chunkSize,
                std::size_t maxRecordSize = kMaxRecordSize) {
    Reading reading;
    CsvReader reader(vimora::test::MemoryReader(std::string(text), pieceSize), chunkSize, maxRecordSize);
    try {
        while (reader.next())
            reading.records.emplace_back(reader.fields().begin(), reader.fields().end());
    } catch (const CsvError& error) {
        reading.error = error.what();
    }
    return reading;
}

void check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    // The first byte chooses how the input is cut; the rest is the input.
    const std::size_t pieceSize = data[0] % 7 + 1;
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);

    const Reading whole = readAll(input, input.size() + 1, 4096);
    check(readAll(input, pieceSize, 16) == whole);

    std::string output;
    CsvReader reader(vimora::test::MemoryReader(std::string(input)), 4096, kMaxRecordSize);
    CsvWriter writer([&](std::string_view bytes) { output.append(bytes); }, 64);
    const BatchResult result = runBatch(reader, writer);

    const Reading back = readAll(output, output.size() + 1, 4096, output.size() + 1);
    check(back.error.empty());
    if (output.empty()) {
        check(result.exitStatus() == 2 && !result.interrupted);
        return 0;
    }
    check(back.records.size() == 1 + result.rows + (result.interrupted ? 1 : 0));
    for (const auto& record : back.records)
        check(record.size() == kOutputColumns.size());
    // Row i of the output echoes record i + 1 of the input (after the header).
    for (std::size_t row = 0; row < result.rows; ++row) {
        const auto& echoed = back.records[row + 1];
        const auto& read = whole.records[row + 1];
        check(std::equal(read.begin(), read.end(), echoed.begin()));
        check(echoed.back().empty() == !echoed[4].empty());
    }
    return 0;
}
