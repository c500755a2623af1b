// fuzz/fuzz_record.cpp -- reads arbitrary bytes as a tagged file body: a record by field table,
// chunk searches, and the head fields.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "puzzle/save.h"
#include "resources/tagfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    FILE* f = fmemopen((void*)data, size, "rb");
    if (!f) return 0;
    SaveInfo s = {};
    (void)record_read(f, saveinfo_fields, &s);

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
    if (file_read_tag(f, &tag) && file_read_stamp(f, &stamp)) (void)record_read(f, saveinfo_fields, &s);
    std::fclose(f);
    return 0;
}
