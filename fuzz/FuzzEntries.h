#pragma once

#include <cstddef>
#include <cstdint>

// Entry functions of the fuzz targets: each takes hostile bytes and feeds them
// to one reader of untrusted input. They are plain functions so that the
// libFuzzer programs and the corpus replay in the ordinary test suite run the
// very same code. A broken round-trip promise aborts, like a sanitizer report.
namespace prx::fuzz {

using Entry = int (*)(const uint8_t *data, size_t size);

struct Target
{
    const char *name; // also the corpus folder's name
    Entry entry;
};

int frameDecoder(const uint8_t *data, size_t size);
int dataPacket(const uint8_t *data, size_t size);
int deltaPacket(const uint8_t *data, size_t size);
int typedArgument(const uint8_t *data, size_t size);
int filterExpression(const uint8_t *data, size_t size);
int editMask(const uint8_t *data, size_t size);
int xlsxWorkbook(const uint8_t *data, size_t size);

inline constexpr Target targets[] = {
    {"frame_decoder", frameDecoder},         {"data_packet", dataPacket},
    {"delta_packet", deltaPacket},           {"typed_argument", typedArgument},
    {"filter_expression", filterExpression}, {"edit_mask", editMask},
    {"xlsx_workbook", xlsxWorkbook},
};

} // namespace prx::fuzz
