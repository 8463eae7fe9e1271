#pragma once

#include <sys/stat.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "dav/lock_table.h"
#include "dav/xml_document.h"
#include "http/status.h"

namespace quorvane::dav {

struct PropertyName {
    std::string ns;
    std::string name;
    bool operator==(const PropertyName&) const = default;
};

// One entry as PROPFIND describes it.
struct Entry {
    std::string href;  // percent-encoded, a folder's with its final "/"
    std::string displayName;
    struct stat info {};
    std::string contentType;  // files only
    std::string etag;         // files only: the one GET sends
    std::vector<Lock> locks;  // those whose scope holds it
    int fd = -1;              // for its dead properties; -1 when they cannot be read
};

// Which properties a PROPFIND asks for.
struct PropertyQuery {
    enum class Kind { kAll, kNames, kNamed } kind = Kind::kAll;
    std::vector<PropertyName> named;
};

// The live properties this server keeps for every entry.
bool IsLiveProperty(const PropertyName& name);

// A multistatus reply body, written as entries are added.
class Multistatus {
  public:
    Multistatus();
    void AddEntry(const Entry& entry, const PropertyQuery& query);
    // A response of one status for a whole href.
    void AddStatus(const std::string& href, http::Status status);
    // A response naming each property with its own status.
    void AddPropertyStatuses(const std::string& href,
                             const std::vector<std::pair<PropertyName, http::Status>>& results);
    std::string Finish();

  private:
    std::string text_;
};

// A lock as the lockdiscovery property and a LOCK reply show it.
std::string ActiveLockXml(const Lock& lock, const std::string& rootHref);

// An ISO 8601 time for creationdate.
std::string IsoTime(std::chrono::sys_seconds when);

// Dead properties, kept in the entry's "user." extended attributes.
class DeadProperties {
  public:
    explicit DeadProperties(int fd) : fd_(fd) {}
    std::vector<std::pair<PropertyName, std::string>> All() const;  // name, value as XML
    std::optional<std::string> Get(const PropertyName& name) const;
    // False (errno set) where the file system keeps none, or the name or value is too large.
    bool Set(const PropertyName& name, const std::string& valueXml);
    bool Remove(const PropertyName& name);

  private:
    int fd_;
};

}  // namespace quorvane::dav
