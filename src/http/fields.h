#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane::http {

// Header fields in the order they came or were set; names compare without
// regard to letter case.
class Fields {
  public:
    struct Field {
        std::string name;
        std::string value;
    };

    void Add(std::string_view name, std::string_view value);
    // Replaces every line of the name where the first stood, or adds one.
    void Set(std::string_view name, std::string_view value);
    void Remove(std::string_view name);

    // The values of every line of the name, joined with ", " as a list
    // field's lines may be (RFC 9110 section 5.3); nothing without one.
    std::optional<std::string> Get(std::string_view name) const;
    size_t Count(std::string_view name) const;
    bool Has(std::string_view name) const { return Count(name) > 0; }

    std::vector<Field>::const_iterator begin() const { return fields_.begin(); }
    std::vector<Field>::const_iterator end() const { return fields_.end(); }
    bool empty() const { return fields_.empty(); }

  private:
    std::vector<Field> fields_;
};

bool NamesEqual(std::string_view a, std::string_view b);

}  // namespace quorvane::http
