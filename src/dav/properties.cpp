#include "dav/properties.h"

#include <sys/xattr.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <ctime>

#include "http/http_date.h"
#include "http/status.h"

namespace quorvane::dav {

namespace {

constexpr std::string_view kAttributePrefix = "user.dav:{";
constexpr std::array<std::string_view, 9> kLiveNames = {
    "resourcetype",   "getcontentlength", "getlastmodified", "creationdate", "getetag",
    "getcontenttype", "displayname",      "supportedlock",   "lockdiscovery"};

std::string AttributeName(const PropertyName& name) {
    return std::string(kAttributePrefix) + name.ns + "}" + name.name;
}

std::string ProcPath(int fd) {
    return "/proc/self/fd/" + std::to_string(fd);
}

std::chrono::sys_seconds Seconds(const struct timespec& time) {
    return std::chrono::sys_seconds(std::chrono::seconds(time.tv_sec));
}

std::string Element(std::string_view name, std::string_view inner) {
    return "<D:" + std::string(name) + ">" + std::string(inner) + "</D:" + std::string(name) + ">";
}

std::string StatusLine(http::Status status) {
    return Element("status", "HTTP/1.1 " + std::to_string(static_cast<int>(status)) + " " +
                                 std::string(http::ReasonPhrase(status)));
}

constexpr std::string_view kSupportedLock =
    "<D:lockentry><D:lockscope><D:exclusive/></D:lockscope><D:locktype><D:write/></D:locktype>"
    "</D:lockentry><D:lockentry><D:lockscope><D:shared/></D:lockscope><D:locktype><D:write/>"
    "</D:locktype></D:lockentry>";

// A live property's value; nothing when the entry has none of that name.
std::optional<std::string> LiveValue(const Entry& entry, std::string_view name) {
    const bool folder = S_ISDIR(entry.info.st_mode);
    if (name == "resourcetype") {
        return folder ? "<D:collection/>" : "";
    }
    if (name == "getlastmodified") {
        return http::HttpDateText(Seconds(entry.info.st_mtim));
    }
    if (name == "creationdate") {
        return IsoTime(Seconds(entry.info.st_ctim));
    }
    if (name == "displayname") {
        return EscapeXml(entry.displayName);
    }
    if (name == "supportedlock") {
        return std::string(kSupportedLock);
    }
    if (name == "lockdiscovery") {
        std::string locks;
        for (const Lock& lock : entry.locks) {
            locks += ActiveLockXml(lock, lock.root);
        }
        return locks;
    }
    if (folder) {
        return std::nullopt;
    }
    if (name == "getcontentlength") {
        return std::to_string(entry.info.st_size);
    }
    if (name == "getetag") {
        return EscapeXml(entry.etag);
    }
    if (name == "getcontenttype") {
        return EscapeXml(entry.contentType);
    }
    return std::nullopt;
}

std::string Property(const PropertyName& name, const std::string& valueXml) {
    if (valueXml.empty()) {
        return name.ns == kDavNamespace
                   ? "<D:" + name.name + "/>"
                   : OpenTag(name.ns, name.name) + CloseTag(name.ns, name.name);
    }
    return OpenTag(name.ns, name.name) + valueXml + CloseTag(name.ns, name.name);
}

std::string PropStat(const std::string& props, http::Status status) {
    return Element("propstat", Element("prop", props) + StatusLine(status));
}

}  // namespace

bool IsLiveProperty(const PropertyName& name) {
    return name.ns == kDavNamespace &&
           std::find(kLiveNames.begin(), kLiveNames.end(), name.name) != kLiveNames.end();
}

std::string IsoTime(std::chrono::sys_seconds when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    std::array<char, 32> text{};
    std::strftime(text.data(), text.size(), "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text.data();
}

std::string ActiveLockXml(const Lock& lock, const std::string& rootHref) {
    return Element("activelock",
                   Element("locktype", "<D:write/>") +
                       Element("lockscope", lock.exclusive ? "<D:exclusive/>" : "<D:shared/>") +
                       Element("depth", lock.infinite ? "infinity" : "0") +
                       (lock.owner.empty() ? std::string() : Element("owner", lock.owner)) +
                       Element("timeout", "Second-" + std::to_string(lock.timeout.count())) +
                       Element("locktoken", Element("href", EscapeXml(lock.token))) +
                       Element("lockroot", Element("href", EscapeXml(rootHref))));
}

Multistatus::Multistatus()
    : text_("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<D:multistatus xmlns:D=\"DAV:\">") {}

void Multistatus::AddEntry(const Entry& entry, const PropertyQuery& query) {
    std::string found;
    std::string missing;
    const DeadProperties dead(entry.fd);
    const auto add = [&](const PropertyName& name, bool valueWanted) {
        std::optional<std::string> value;
        if (IsLiveProperty(name)) {
            value = LiveValue(entry, name.name);
        } else if (entry.fd >= 0) {
            value = dead.Get(name);
        }
        if (!value) {
            missing += Property(name, "");
        } else {
            found += Property(name, valueWanted ? *value : std::string());
        }
    };
    if (query.kind == PropertyQuery::Kind::kNamed) {
        for (const PropertyName& name : query.named) {
            add(name, true);
        }
    } else {
        const bool values = query.kind == PropertyQuery::Kind::kAll;
        for (std::string_view live : kLiveNames) {
            if (LiveValue(entry, live)) {
                add({std::string(kDavNamespace), std::string(live)}, values);
            }
        }
        if (entry.fd >= 0) {
            for (const auto& [name, value] : dead.All()) {
                found += Property(name, values ? value : std::string());
            }
        }
    }
    std::string response = Element("href", EscapeXml(entry.href));
    if (!found.empty()) {
        response += PropStat(found, http::Status::kOk);
    }
    if (!missing.empty()) {
        response += PropStat(missing, http::Status::kNotFound);
    }
    text_ += Element("response", response);
}

void Multistatus::AddStatus(const std::string& href, http::Status status) {
    text_ += Element("response", Element("href", EscapeXml(href)) + StatusLine(status));
}

void Multistatus::AddPropertyStatuses(
    const std::string& href, const std::vector<std::pair<PropertyName, http::Status>>& results) {
    std::string response = Element("href", EscapeXml(href));
    for (const auto& [name, status] : results) {
        response += PropStat(Property(name, ""), status);
    }
    text_ += Element("response", response);
}

std::string Multistatus::Finish() {
    return text_ + "</D:multistatus>\n";
}

std::vector<std::pair<PropertyName, std::string>> DeadProperties::All() const {
    std::vector<std::pair<PropertyName, std::string>> properties;
    std::string names(64 * 1024, '\0');
    const ssize_t length = ::listxattr(ProcPath(fd_).c_str(), names.data(), names.size());
    for (ssize_t at = 0; at < length;) {
        const std::string attribute(names.data() + at);
        at += static_cast<ssize_t>(attribute.size()) + 1;
        const size_t close = attribute.rfind('}');
        if (!attribute.starts_with(kAttributePrefix) || close == std::string::npos) {
            continue;
        }
        PropertyName name{
            attribute.substr(kAttributePrefix.size(), close - kAttributePrefix.size()),
            attribute.substr(close + 1)};
        if (std::optional<std::string> value = Get(name)) {
            properties.emplace_back(std::move(name), std::move(*value));
        }
    }
    return properties;
}

std::optional<std::string> DeadProperties::Get(const PropertyName& name) const {
    std::string value(64 * 1024, '\0');
    const ssize_t size =
        ::getxattr(ProcPath(fd_).c_str(), AttributeName(name).c_str(), value.data(), value.size());
    if (size < 0) {
        return std::nullopt;
    }
    value.resize(static_cast<size_t>(size));
    return value;
}

bool DeadProperties::Set(const PropertyName& name, const std::string& valueXml) {
    return ::setxattr(ProcPath(fd_).c_str(), AttributeName(name).c_str(), valueXml.data(),
                      valueXml.size(), 0) == 0;
}

bool DeadProperties::Remove(const PropertyName& name) {
    return ::removexattr(ProcPath(fd_).c_str(), AttributeName(name).c_str()) == 0 ||
           errno == ENODATA;
}

}  // namespace quorvane::dav
