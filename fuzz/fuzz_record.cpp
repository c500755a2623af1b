// fuzz/fuzz_record.cpp -- reads arbitrary bytes as a tagged file body: a record by field table,
// chunk searches, and the head fields.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "resources/tagfile.h"

namespace {

struct Summary {
    int32_t seconds;
    char date[64];
    int32_t percent;
    int32_t pieces;
};
const FieldEntry SUMMARY_FIELDS[] = {{1, 4, offsetof(Summary, seconds)},
                                     {2, 64, offsetof(Summary, date)},
                                     {3, 4, offsetof(Summary, percent)},
                                     {4, 4, offsetof(Summary, pieces)},
                                     {0, 0, 0}};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    FILE* f = fmemopen((void*)data, size, "rb");
    if (!f) return 0;
    Summary s = {};
    (void)record_read(f, SUMMARY_FIELDS, &s);

    uint32_t id, chunk_size;
    std::rewind(f);
    if (chunk_seek(f, 101, &id, &chunk_size)) {
        uint8_t piece[16];
        for (uint32_t i = 0; i < chunk_size / 16 && file_read_bytes(f, piece, 16); i++) {
        }
    }

    std::rewind(f);
    uint32_t tag;
    FileStamp stamp;
    if (file_read_tag(f, &tag) && file_read_stamp(f, &stamp)) (void)record_read(f, SUMMARY_FIELDS, &s);
    std::fclose(f);
    return 0;
}
