// List-file reader: any text reads without fault, and records written by the
// writer read back as they were; share links read from any text write back
// as they read.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "config/list_file.h"
#include "config/share_links.h"

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
    for (const quorvane::config::ShareLink& link : quorvane::config::ParseShareLinks(text)) {
        const auto again = quorvane::config::ShareLink::FromRecord(link.ToRecord());
        if (!again || !(*again == link)) {
            std::abort();
        }
    }
    return 0;
}
