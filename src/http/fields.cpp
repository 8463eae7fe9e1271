#include "http/fields.h"

#include <algorithm>

namespace quorvane::http {

bool NamesEqual(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; };
               return lower(x) == lower(y);
           });
}

void Fields::Add(std::string_view name, std::string_view value) {
    fields_.push_back({std::string(name), std::string(value)});
}

void Fields::Set(std::string_view name, std::string_view value) {
    const auto first = std::find_if(fields_.begin(), fields_.end(), [&](const Field& field) {
        return NamesEqual(field.name, name);
    });
    if (first == fields_.end()) {
        Add(name, value);
        return;
    }
    first->value = std::string(value);
    fields_.erase(std::remove_if(std::next(first), fields_.end(),
                                 [&](const Field& field) { return NamesEqual(field.name, name); }),
                  fields_.end());
}

void Fields::Remove(std::string_view name) {
    std::erase_if(fields_, [&](const Field& field) { return NamesEqual(field.name, name); });
}

std::optional<std::string> Fields::Get(std::string_view name) const {
    std::optional<std::string> joined;
    for (const Field& field : fields_) {
        if (NamesEqual(field.name, name)) {
            joined = joined ? *joined + ", " + field.value : field.value;
        }
    }
    return joined;
}

size_t Fields::Count(std::string_view name) const {
    return static_cast<size_t>(
        std::count_if(fields_.begin(), fields_.end(),
                      [&](const Field& field) { return NamesEqual(field.name, name); }));
}

}  // namespace quorvane::http
