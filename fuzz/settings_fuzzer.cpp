// Settings reader and writer: any text parses, and a value written into it
// reads back whole.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "config/settings_file.h"
#include "config/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto settings = quorvane::config::Settings::Parse(text);
    settings.Read("HomePage", "RootDirectory", "www");
    const quorvane::config::SettingWrite write{"Fuzz", "Key", "value with = and ; inside"};
    const std::string written = quorvane::config::ApplySettingWrites(text, {&write, 1});
    const auto reread = quorvane::config::Settings::Parse(written);
    // Another "Fuzz" section or key earlier in the text may decide the read,
    // so only texts without one are held to the round trip.
    if (text.find_first_of("[]") == std::string::npos &&
        reread.Read("Fuzz", "Key", "<absent>") != write.value) {
        std::abort();
    }
    return 0;
}
