#include "dav/webdav.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

#include "cgi/script_rule.h"
#include "config/setting_keys.h"
#include "config/text.h"
#include "dav/beneath.h"
#include "dav/if_header.h"
#include "dav/properties.h"
#include "dav/upload.h"
#include "dav/xml_document.h"
#include "http/escaping.h"
#include "responses/content_type.h"
#include "responses/validators.h"

namespace quorvane::dav {

namespace {

using http::Response;
using http::Status;
using responses::Found;
using responses::Resolution;
namespace setting = config::setting;

constexpr uint64_t kMiB = 1024 * 1024;

Response Plain(Status status) {
    Response response(status);
    response.fields.Add("Content-Type", "text/plain; charset=utf-8");
    response.body = std::to_string(static_cast<int>(status)) + " " +
                    std::string(http::ReasonPhrase(status)) + "\n";
    return response;
}

Response Xml(Status status, std::string body) {
    Response response(status);
    response.fields.Add("Content-Type", "application/xml; charset=utf-8");
    response.body = std::move(body);
    return response;
}

// A refusal naming the precondition it failed (RFC 4918 section 16).
Response Precondition(Status status, std::string_view condition) {
    return Xml(status, "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<D:error xmlns:D=\"DAV:\"><D:" +
                           std::string(condition) + "/></D:error>\n");
}

std::string UrlPath(const std::vector<std::string>& segments) {
    std::string path;
    for (const std::string& segment : segments) {
        path += "/" + segment;
    }
    return path.empty() ? "/" : path;
}

std::string Href(const std::string& path, bool folder) {
    return http::PercentEncodePath(folder && path != "/" ? path + "/" : path);
}

std::string ParentPath(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

// The Destination's path, when it names this server; `otherHost` when it
// names another.
std::optional<std::string> DestinationPath(std::string_view value, std::string_view host,
                                           bool& otherHost) {
    for (std::string_view scheme : {"http://", "https://"}) {
        if (value.size() > scheme.size() &&
            config::EqualsIgnoringCase(value.substr(0, scheme.size()), scheme)) {
            value.remove_prefix(scheme.size());
            const size_t slash = std::min(value.find('/'), value.size());
            otherHost = !config::EqualsIgnoringCase(value.substr(0, slash), host);
            value.remove_prefix(slash);
            break;
        }
    }
    if (otherHost || !value.starts_with('/')) {
        return std::nullopt;
    }
    return std::string(value);
}

std::optional<PropertyQuery> ReadPropfind(const std::string& body) {
    PropertyQuery query;
    if (config::TrimBlanks(body).empty()) {
        return query;
    }
    const std::optional<XmlElement> root = ParseXml(body);
    if (!root || !root->Is(kDavNamespace, "propfind")) {
        return std::nullopt;
    }
    if (const XmlElement* prop = root->Child(kDavNamespace, "prop")) {
        query.kind = PropertyQuery::Kind::kNamed;
        for (const XmlElement& name : prop->children) {
            query.named.push_back({name.ns, name.name});
        }
    } else if (root->Child(kDavNamespace, "propname") != nullptr) {
        query.kind = PropertyQuery::Kind::kNames;
    } else if (root->Child(kDavNamespace, "allprop") == nullptr) {
        return std::nullopt;
    }
    return query;
}

// What a lock request asks for.
struct LockRequest {
    bool exclusive = true;
    std::string owner;
};

std::optional<LockRequest> ReadLockInfo(const std::string& body) {
    const std::optional<XmlElement> root = ParseXml(body);
    const XmlElement* scope = root ? root->Child(kDavNamespace, "lockscope") : nullptr;
    if (!root || !root->Is(kDavNamespace, "lockinfo") || scope == nullptr ||
        root->Child(kDavNamespace, "locktype") == nullptr) {
        return std::nullopt;
    }
    LockRequest lock;
    lock.exclusive = scope->Child(kDavNamespace, "shared") == nullptr;
    if (const XmlElement* owner = root->Child(kDavNamespace, "owner")) {
        lock.owner = owner->InnerXml();
    }
    return lock;
}

// One request on its way through a method's checks.
class Exchange {
  public:
    explicit Exchange(const DavRequest& dav)
        : dav_(dav),
          request_(dav.request),
          target_(dav.target),
          path_(UrlPath(dav.request.target->segments)),
          now_(LockTable::Clock::now()) {}

    Answer Run();

  private:
    Answer Options() const;
    Answer Propfind();
    Answer Proppatch();
    Answer Mkcol();
    Answer Put();
    Answer Delete();
    Answer CopyOrMove(bool move);
    Answer Lock();
    Answer Unlock();

    // The folder holding `at`'s entry, opened beneath its configured folder;
    // nothing (errno set) when it cannot be.
    FileHandle OpenParent(const Resolution& at) const;
    FileHandle OpenEntry(const Resolution& at, int flags) const;
    // Why a visitor may not add (or, `replacing`, change) `at`'s entry.
    std::optional<Response> RefuseWrite(const Resolution& at, int parent, bool replacing) const;
    // A tree that holds the program's files or another configured folder
    // is moved, copied and deleted by its owner only.
    bool TreeGuarded(const Resolution& at, int parent) const;
    // The If header's verdict: nothing when it holds or is absent.
    std::optional<Response> CheckIf();
    // 423 unless the request submits a token for every lock that guards a
    // change to `path` (and its members when `deep`, and its folder's
    // membership when `member`).
    std::optional<Response> CheckLocks(const std::string& path, bool member, bool deep);
    std::optional<Response> RefuseTransfer(const Resolution& to, const std::string& toPath,
                                           int from, bool move) const;
    std::optional<Response> RefuseArrival(const Resolution& to, const std::string& toPath, int into,
                                          bool replacing, bool move);
    void AddMembers(Multistatus& reply, const PropertyQuery& query);
    Entry Describe(int fd, const std::string& path, const std::string& name,
                   const struct stat& info, const responses::Policy& policy);
    std::string EtagOf(const struct stat& info, const std::string& name,
                       const responses::Policy& policy) const;
    std::string ContentTypeOf(const std::string& name) const;
    std::optional<Response> ResolveDestination(std::optional<Resolution>& destination,
                                               std::string& path);
    Answer CreateLocked(const LockRequest& wanted, bool infinite);

    const DavRequest& dav_;
    const http::Request& request_;
    const Resolution& target_;
    std::string path_;
    LockTable::Clock::time_point now_;
    std::vector<std::string> submitted_;
};

Answer Exchange::Run() {
    if (std::optional<Response> refused = CheckIf()) {
        return std::move(*refused);
    }
    switch (request_.method) {
        case http::Method::kOptions:
            return Options();
        case http::Method::kPropfind:
            return Propfind();
        case http::Method::kProppatch:
            return Proppatch();
        case http::Method::kMkcol:
            return Mkcol();
        case http::Method::kPut:
            return Put();
        case http::Method::kDelete:
            return Delete();
        case http::Method::kCopy:
            return CopyOrMove(false);
        case http::Method::kMove:
            return CopyOrMove(true);
        case http::Method::kLock:
            return Lock();
        case http::Method::kUnlock:
            return Unlock();
        default:
            return Plain(Status::kMethodNotAllowed);
    }
}

Answer Exchange::Options() const {
    Response response(Status::kOk);
    response.fields.Add("DAV", "1, 2");
    response.fields.Add("MS-Author-Via", "DAV");
    std::string allow = "OPTIONS, GET, HEAD, POST, PROPFIND";
    if (target_.policy.TakesWrites()) {
        allow += ", PROPPATCH, MKCOL, PUT, DELETE, COPY, MOVE, LOCK, UNLOCK";
    }
    response.fields.Add("Allow", allow);
    response.LengthHere();
    return response;
}

FileHandle Exchange::OpenParent(const Resolution& at) const {
    const FileHandle base = OpenBase(at.base);
    if (!base) {
        return FileHandle();
    }
    std::vector<std::string> parent = at.below;
    if (!parent.empty()) {
        parent.pop_back();
    }
    return OpenBeneath(base.Get(), parent, O_PATH | O_DIRECTORY);
}

FileHandle Exchange::OpenEntry(const Resolution& at, int flags) const {
    const FileHandle base = OpenBase(at.base);
    return base ? OpenBeneath(base.Get(), at.below, flags) : FileHandle();
}

std::optional<Response> Exchange::RefuseWrite(const Resolution& at, int parent,
                                              bool replacing) const {
    const bool allowed = replacing ? at.policy.changes : at.policy.uploads;
    if (at.below.empty() || !allowed || !IsAcceptableName(at.document)) {
        return Plain(Status::kForbidden);
    }
    // Nothing new goes among the program's own files, whatever its name.
    const std::optional<struct stat> folder = StatusOf(parent);
    struct stat program {};
    if (!folder || ::stat(dav_.scope.folder.Path().c_str(), &program) != 0 ||
        (folder->st_dev == program.st_dev && folder->st_ino == program.st_ino)) {
        return Plain(Status::kForbidden);
    }
    if (const std::optional<struct stat> entry = EntryStatus(parent, at.document)) {
        const config::OwnFiles own =
            responses::OwnFilesWithKey(dav_.scope.folder, dav_.scope.settings, dav_.context.own);
        if (S_ISLNK(entry->st_mode) || own.Contains(*entry) ||
            !(S_ISREG(entry->st_mode) || S_ISDIR(entry->st_mode))) {
            return Plain(Status::kForbidden);
        }
    }
    return std::nullopt;
}

bool Exchange::TreeGuarded(const Resolution& at, int parent) const {
    const config::OwnFiles own =
        responses::OwnFilesWithKey(dav_.scope.folder, dav_.scope.settings, dav_.context.own);
    const FileHandle entry(::openat(parent, at.document.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    const std::optional<std::filesystem::path> where = entry ? WhereIs(entry.Get()) : std::nullopt;
    if (!where || responses::HoldsGuardedFolder(*where, dav_.context)) {
        return true;
    }
    return !TreeAllowed(parent, at.document,
                        {.check = [&](const struct stat& info) { return !own.Contains(info); }});
}

std::optional<Response> Exchange::CheckIf() {
    const std::optional<std::string> header = request_.If();
    if (!header) {
        return std::nullopt;
    }
    const std::optional<std::vector<IfList>> lists = ParseIfHeader(*header);
    if (!lists) {
        return Plain(Status::kBadRequest);
    }
    submitted_ = SubmittedTokens(*lists);
    for (const IfList& list : *lists) {
        std::string resource = path_;
        if (list.resource) {
            bool otherHost = false;
            const std::optional<std::string> tagged =
                DestinationPath(*list.resource, request_.Host().value_or(""), otherHost);
            const std::optional<http::RequestTarget> parsed =
                tagged ? http::ParseTarget(*tagged) : std::nullopt;
            if (!parsed) {
                continue;
            }
            resource = UrlPath(parsed->segments);
        }
        const std::vector<dav::Lock> held = dav_.locks.Covering(resource, now_);
        const bool holds = std::all_of(
            list.conditions.begin(), list.conditions.end(), [&](const IfCondition& condition) {
                bool met = false;
                if (condition.entityTag) {
                    met = resource == path_ && target_.found == Found::kFile &&
                          condition.value == EtagOf(target_.info, target_.document, target_.policy);
                } else {
                    met = std::any_of(held.begin(), held.end(), [&](const dav::Lock& lock) {
                        return lock.token == condition.value;
                    });
                }
                return met != condition.negated;
            });
        if (holds) {
            return std::nullopt;
        }
    }
    return Plain(Status::kPreconditionFailed);
}

std::optional<Response> Exchange::CheckLocks(const std::string& path, bool member, bool deep) {
    std::vector<dav::Lock> guarding = dav_.locks.Covering(path, now_);
    if (member) {
        for (dav::Lock& lock : dav_.locks.Covering(ParentPath(path), now_)) {
            guarding.push_back(std::move(lock));
        }
    }
    if (deep) {
        for (dav::Lock& lock : dav_.locks.Within(path, now_)) {
            guarding.push_back(std::move(lock));
        }
    }
    // Each locked root needs one of its tokens (shared locks have several).
    for (const dav::Lock& lock : guarding) {
        const bool unlocked = std::any_of(guarding.begin(), guarding.end(), [&](const auto& other) {
            return other.root == lock.root &&
                   std::find(submitted_.begin(), submitted_.end(), other.token) != submitted_.end();
        });
        if (!unlocked) {
            return Precondition(Status::kLocked, "lock-token-submitted");
        }
    }
    return std::nullopt;
}

std::string Exchange::ContentTypeOf(const std::string& name) const {
    if (auto listed = responses::LookUpContentType(name, *dav_.scope.config.mediaTypes)) {
        return *listed;
    }
    if (dav_.scope.mediaTypes != nullptr) {
        if (auto known =
                dav_.scope.mediaTypes->TypeOf(name, responses::SystemMediaTypes::Clock::now())) {
            return *known;
        }
    }
    return "application/octet-stream";
}

std::string Exchange::EtagOf(const struct stat& info, const std::string& name,
                             const responses::Policy& policy) const {
    std::optional<std::string> footer;
    if (!policy.TakesWrites() && config::ToUpperAscii(ContentTypeOf(name)) == "TEXT/HTML" &&
        config::IsOn(dav_.scope.settings, setting::kEnableFooter)) {
        footer = config::ServerValue(dav_.scope.settings, setting::kFooterHtml);
    }
    return responses::DocumentEtag(info, footer);
}

Entry Exchange::Describe(int fd, const std::string& path, const std::string& name,
                         const struct stat& info, const responses::Policy& policy) {
    Entry entry;
    entry.href = Href(path, S_ISDIR(info.st_mode));
    entry.displayName = name;
    entry.info = info;
    entry.fd = fd;
    entry.locks = dav_.locks.Covering(path, now_);
    if (S_ISREG(info.st_mode)) {
        entry.contentType = ContentTypeOf(name);
        entry.etag = EtagOf(info, name, policy);
    }
    return entry;
}

// A folder's members as its listing shows them.
void Exchange::AddMembers(Multistatus& reply, const PropertyQuery& query) {
    const FileHandle folder(::open(target_.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const config::OwnFiles own =
        responses::OwnFilesWithKey(dav_.scope.folder, dav_.scope.settings, dav_.context.own);
    const std::string base = path_ == "/" ? std::string() : path_;
    EachName(folder.Get(), [&](const std::string& child) {
        struct stat info {};
        if (child.front() == '.' || ::fstatat(folder.Get(), child.c_str(), &info, 0) != 0 ||
            !(S_ISREG(info.st_mode) || S_ISDIR(info.st_mode)) || own.Contains(info) ||
            (target_.policy.insideScriptFolder && !IsAcceptableName(child))) {
            return;  // hidden, gone, a device or pipe, an own file, a script's source
        }
        const FileHandle opened(::openat(folder.Get(), child.c_str(), O_PATH | O_CLOEXEC));
        reply.AddEntry(Describe(opened.Get(), base + "/" + child, child, info, target_.policy),
                       query);
    });
}

Answer Exchange::Propfind() {
    const std::string depth = request_.Depth().value_or("infinity");
    if (depth != "0" && depth != "1") {
        return Precondition(Status::kForbidden, "propfind-finite-depth");
    }
    if (!request_.content && request_.HasBody()) {
        return BodyWanted{kXmlBodyLimit};
    }
    const std::optional<PropertyQuery> query = ReadPropfind(request_.content.value_or(""));
    if (!query) {
        return Plain(Status::kBadRequest);
    }
    if (target_.found == Found::kNothing) {
        return Plain(Status::kNotFound);
    }
    // Read as GET reads, links followed where the site follows them; only
    // writes are held beneath the configured folder.
    const FileHandle self(::open(target_.path.c_str(), O_PATH | O_CLOEXEC));
    const std::optional<struct stat> info = self ? StatusOf(self.Get()) : std::nullopt;
    if (!info) {
        return Plain(Status::kNotFound);
    }
    Multistatus reply;
    const std::vector<std::string>& segments = request_.target->segments;
    const std::string name = segments.empty() ? "/" : segments.back();
    reply.AddEntry(Describe(self.Get(), path_, name, *info, target_.policy), *query);
    if (depth == "1" && S_ISDIR(info->st_mode)) {
        // A folder's names are shown where its page would list them, or
        // where visitors write and so must see what is there.
        if (!target_.policy.TakesWrites() &&
            !config::IsOn(dav_.scope.settings, setting::kDirectoryBrowsing)) {
            return Plain(Status::kForbidden);
        }
        AddMembers(reply, *query);
    }
    return Xml(Status::kMultiStatus, reply.Finish());
}

// Sets and removes in document order, all or nothing: when one fails, what
// was done goes back as it was, and the others fail with it (424).
std::vector<std::pair<PropertyName, Status>> ApplyPropertyUpdate(const XmlElement& update,
                                                                 DeadProperties* dead) {
    std::vector<std::pair<PropertyName, Status>> results;
    std::vector<std::pair<PropertyName, std::optional<std::string>>> undo;
    bool failed = false;
    for (const XmlElement& change : update.children) {
        const bool set = change.Is(kDavNamespace, "set");
        const XmlElement* prop = change.Child(kDavNamespace, "prop");
        if ((!set && !change.Is(kDavNamespace, "remove")) || prop == nullptr) {
            continue;
        }
        for (const XmlElement& property : prop->children) {
            PropertyName name{property.ns, property.name};
            if (failed) {
                results.emplace_back(std::move(name), Status::kFailedDependency);
                continue;
            }
            const std::optional<std::string> before = dead ? dead->Get(name) : std::nullopt;
            const bool done = name.ns != kDavNamespace && dead != nullptr &&
                              (set ? dead->Set(name, property.InnerXml()) : dead->Remove(name));
            failed = !done;
            results.emplace_back(name, done ? Status::kOk : Status::kForbidden);
            undo.emplace_back(std::move(name), before);
        }
    }
    if (failed) {
        for (auto& [name, before] : dead != nullptr ? undo : decltype(undo)()) {
            before ? dead->Set(name, *before) : dead->Remove(name);
        }
        for (auto& [name, status] : results) {
            status = status == Status::kOk ? Status::kFailedDependency : status;
        }
    }
    return results;
}

Answer Exchange::Proppatch() {
    if (!request_.content) {
        return BodyWanted{kXmlBodyLimit};
    }
    const std::optional<XmlElement> root = ParseXml(*request_.content);
    if (!root || !root->Is(kDavNamespace, "propertyupdate")) {
        return Plain(Status::kBadRequest);
    }
    if (target_.found == Found::kNothing) {
        return Plain(Status::kNotFound);
    }
    if (!target_.policy.changes || target_.below.empty()) {
        return Plain(Status::kForbidden);
    }
    if (auto refused = CheckLocks(path_, false, false)) {
        return std::move(*refused);
    }
    const FileHandle entry = OpenEntry(target_, O_PATH);
    DeadProperties dead(entry.Get());
    const auto results = ApplyPropertyUpdate(*root, entry ? &dead : nullptr);
    Multistatus reply;
    reply.AddPropertyStatuses(Href(path_, target_.found == Found::kFolder), results);
    return Xml(Status::kMultiStatus, reply.Finish());
}

Answer Exchange::Mkcol() {
    if (request_.HasBody()) {
        return Plain(Status::kUnsupportedMediaType);
    }
    const FileHandle parent = OpenParent(target_);
    if (target_.below.empty() || (parent && EntryStatus(parent.Get(), target_.document))) {
        return Plain(Status::kMethodNotAllowed);
    }
    if (!parent) {
        return Plain(errno == ENOENT || errno == ENOTDIR ? Status::kConflict : Status::kForbidden);
    }
    if (auto refused = RefuseWrite(target_, parent.Get(), false)) {
        return std::move(*refused);
    }
    if (auto refused = CheckLocks(path_, true, false)) {
        return std::move(*refused);
    }
    if (::mkdirat(parent.Get(), target_.document.c_str(), 0755) != 0) {
        return Plain(errno == EEXIST ? Status::kMethodNotAllowed : Status::kForbidden);
    }
    Response made(Status::kCreated);
    made.LengthHere();
    return made;
}

Answer Exchange::Put() {
    FileHandle parent = OpenParent(target_);
    if (!parent) {
        return Plain(errno == ENOENT || errno == ENOTDIR ? Status::kConflict : Status::kForbidden);
    }
    const std::optional<struct stat> existing = EntryStatus(parent.Get(), target_.document);
    if (existing && S_ISDIR(existing->st_mode)) {
        return Plain(Status::kMethodNotAllowed);
    }
    // "If-None-Match: *" asks for a new file only: one there now, or made
    // before the upload ends, is never replaced.
    const std::optional<std::string> onlyNewText = request_.ConditionFields().ifNoneMatch;
    const bool onlyNew = onlyNewText && config::TrimBlanks(*onlyNewText) == "*";
    if (onlyNew && existing) {
        return Plain(Status::kPreconditionFailed);
    }
    if (auto refused = RefuseWrite(target_, parent.Get(), existing.has_value())) {
        return std::move(*refused);
    }
    if (auto refused = CheckLocks(path_, !existing, false)) {
        return std::move(*refused);
    }
    const config::Settings& settings = dav_.scope.settings;
    const auto maxMiB = static_cast<uint64_t>(config::NumberValue(settings, setting::kMaxFileMiB));
    const uint64_t limit = maxMiB == 0 ? UINT64_MAX : maxMiB * kMiB;
    const auto keepFree =
        static_cast<uint64_t>(config::NumberValue(settings, setting::kKeepFreeMiB)) * kMiB;
    const uint64_t announced =
        request_.body.kind == http::BodyFraming::Kind::kLength ? request_.body.length : 0;
    if (announced > limit) {
        return Plain(Status::kContentTooLarge);
    }
    const std::optional<uint64_t> free = FreeBytes(parent.Get());
    if (!free || *free < keepFree || *free - keepFree < announced) {
        return Plain(Status::kInsufficientStorage);
    }
    const FileHandle base = OpenBase(target_.base);
    std::vector<std::string> folder = target_.below;
    folder.pop_back();
    FileHandle writable = OpenBeneath(base.Get(), folder, O_RDONLY | O_DIRECTORY);
    std::unique_ptr<Upload> upload =
        writable ? Upload::Begin({.folder = std::move(writable),
                                  .name = target_.document,
                                  .replace = existing.has_value() && !onlyNew,
                                  .limit = limit,
                                  .keepFree = keepFree,
                                  .shownName = config::LoggableText(path_, 256)})
                 : nullptr;
    if (!upload) {
        return Plain(Status::kForbidden);
    }
    return std::unique_ptr<http::BodySink>(std::move(upload));
}

Answer Exchange::Delete() {
    const FileHandle parent = OpenParent(target_);
    if (!parent || target_.found == Found::kNothing ||
        !EntryStatus(parent.Get(), target_.document)) {
        return Plain(Status::kNotFound);
    }
    if (auto refused = RefuseWrite(target_, parent.Get(), true)) {
        return std::move(*refused);
    }
    if (TreeGuarded(target_, parent.Get())) {
        return Plain(Status::kForbidden);
    }
    if (auto refused = CheckLocks(path_, true, true)) {
        return std::move(*refused);
    }
    if (!RemoveTree(parent.Get(), target_.document)) {
        return Plain(Status::kInternalServerError);
    }
    dav_.locks.RemoveWithin(path_);
    Response removed(Status::kNoContent);
    return removed;
}

std::optional<Response> Exchange::ResolveDestination(std::optional<Resolution>& destination,
                                                     std::string& path) {
    const std::optional<std::string> header = request_.Destination();
    if (!header) {
        return Plain(Status::kBadRequest);
    }
    bool otherHost = false;
    const std::optional<std::string> text =
        DestinationPath(config::TrimBlanks(*header), request_.Host().value_or(""), otherHost);
    if (otherHost) {
        return Plain(Status::kBadGateway);
    }
    const std::optional<http::RequestTarget> parsed =
        text ? http::ParseTarget(*text) : std::nullopt;
    if (!parsed || !parsed->query.empty()) {
        return Plain(Status::kBadRequest);
    }
    auto checked = dav_.checkDestination(*parsed);
    if (Response* refused = std::get_if<Response>(&checked)) {
        return std::move(*refused);
    }
    destination = std::move(std::get<Resolution>(checked));
    path = UrlPath(parsed->segments);
    return std::nullopt;
}

// Whether the source may go to the destination at all.
std::optional<Response> Exchange::RefuseTransfer(const Resolution& to, const std::string& toPath,
                                                 int from, bool move) const {
    if (toPath == path_ || PathWithin(toPath, path_) || PathWithin(path_, toPath)) {
        return Plain(Status::kForbidden);  // onto itself, or into its own tree
    }
    // What a password guards never moves into the open.
    if (target_.policy.secure && !to.policy.secure) {
        return Plain(Status::kForbidden);
    }
    if ((move && RefuseWrite(target_, from, true)) || TreeGuarded(target_, from)) {
        return Plain(Status::kForbidden);
    }
    return std::nullopt;
}

// Whether the destination may take it: a new name where uploads are
// allowed, a replaced one where changes are, unlocked or with its tokens.
std::optional<Response> Exchange::RefuseArrival(const Resolution& to, const std::string& toPath,
                                                int into, bool replacing, bool move) {
    if (auto refused = RefuseWrite(to, into, replacing)) {
        return refused;
    }
    if (replacing && TreeGuarded(to, into)) {
        return Plain(Status::kForbidden);
    }
    if (move) {
        if (auto refused = CheckLocks(path_, true, true)) {
            return refused;
        }
    }
    return CheckLocks(toPath, true, replacing);
}

Answer Exchange::CopyOrMove(bool move) {
    std::optional<Resolution> to;
    std::string toPath;
    if (auto refused = ResolveDestination(to, toPath)) {
        return std::move(*refused);
    }
    const std::string depth = request_.Depth().value_or("infinity");
    if ((depth != "0" && depth != "infinity") || (move && depth != "infinity")) {
        return Plain(Status::kBadRequest);
    }
    const FileHandle from = OpenParent(target_);
    if (!from || target_.found == Found::kNothing) {
        return Plain(Status::kNotFound);
    }
    if (auto refused = RefuseTransfer(*to, toPath, from.Get(), move)) {
        return std::move(*refused);
    }
    const FileHandle into = OpenParent(*to);
    if (!into) {
        return Plain(errno == ENOENT || errno == ENOTDIR ? Status::kConflict : Status::kForbidden);
    }
    const bool existing = EntryStatus(into.Get(), to->document).has_value();
    if (existing && request_.Overwrite().value_or("T") == "F") {
        return Plain(Status::kPreconditionFailed);
    }
    if (auto refused = RefuseArrival(*to, toPath, into.Get(), existing, move)) {
        return std::move(*refused);
    }
    if (existing && !RemoveTree(into.Get(), to->document)) {
        return Plain(Status::kInternalServerError);
    }
    dav_.locks.RemoveWithin(toPath);
    const int fromFd = from.Get();
    const bool done =
        move ? ::renameat2(fromFd, target_.document.c_str(), into.Get(), to->document.c_str(),
                           RENAME_NOREPLACE) == 0 ||
                   (errno == EXDEV &&
                    CopyTree(fromFd, target_.document, into.Get(), to->document, true) &&
                    RemoveTree(fromFd, target_.document))
             : CopyTree(fromFd, target_.document, into.Get(), to->document, depth != "0");
    if (!done) {
        return Plain(Status::kInternalServerError);
    }
    if (move) {
        dav_.locks.RemoveWithin(path_);
    }
    Response answered(existing ? Status::kNoContent : Status::kCreated);
    answered.LengthHere();
    return answered;
}

Answer Exchange::CreateLocked(const LockRequest& wanted, bool infinite) {
    dav::Lock lock{.token = NewLockToken(),
                   .root = path_,
                   .exclusive = wanted.exclusive,
                   .infinite = infinite,
                   .owner = wanted.owner,
                   .timeout = LockTimeout(request_.Timeout())};
    std::optional<dav::Lock> added = lock.token.empty() ? std::nullopt : dav_.locks.Add(lock, now_);
    if (!added) {
        return Plain(Status::kServiceUnavailable);
    }
    bool created = false;
    if (target_.found == Found::kNothing) {
        // A lock on a name that maps to nothing makes an empty file there.
        const FileHandle parent = OpenParent(target_);
        std::optional<Response> refused =
            parent ? RefuseWrite(target_, parent.Get(), false) : Plain(Status::kConflict);
        const FileHandle made =
            refused
                ? FileHandle()
                : FileHandle(::openat(parent.Get(), target_.document.c_str(),
                                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
        if (!made) {
            dav_.locks.Remove(added->token);
            return refused ? std::move(*refused) : Plain(Status::kConflict);
        }
        created = true;
    }
    Response reply = Xml(created ? Status::kCreated : Status::kOk,
                         "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<D:prop xmlns:D=\"DAV:\">"
                         "<D:lockdiscovery>" +
                             ActiveLockXml(*added, Href(path_, target_.found == Found::kFolder)) +
                             "</D:lockdiscovery></D:prop>\n");
    reply.fields.Add("Lock-Token", "<" + added->token + ">");
    return reply;
}

Answer Exchange::Lock() {
    if (!request_.content && request_.HasBody()) {
        return BodyWanted{kXmlBodyLimit};
    }
    if (!target_.policy.TakesWrites() || target_.below.empty()) {
        return Plain(Status::kForbidden);
    }
    if (!request_.content || config::TrimBlanks(*request_.content).empty()) {
        // A refresh of a lock the If header names.
        for (const std::string& token : submitted_) {
            for (const dav::Lock& held : dav_.locks.Covering(path_, now_)) {
                if (held.token == token) {
                    const auto refreshed =
                        dav_.locks.Refresh(token, LockTimeout(request_.Timeout()), now_);
                    return Xml(Status::kOk,
                               "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<D:prop "
                               "xmlns:D=\"DAV:\"><D:lockdiscovery>" +
                                   ActiveLockXml(*refreshed, Href(refreshed->root, false)) +
                                   "</D:lockdiscovery></D:prop>\n");
                }
            }
        }
        return Plain(Status::kPreconditionFailed);
    }
    const std::optional<LockRequest> wanted = ReadLockInfo(*request_.content);
    const std::string depth = request_.Depth().value_or("infinity");
    if (!wanted || (depth != "0" && depth != "infinity")) {
        return Plain(Status::kBadRequest);
    }
    const bool infinite = depth == "infinity";
    std::vector<dav::Lock> clashing = dav_.locks.Covering(path_, now_);
    if (infinite) {
        for (dav::Lock& below : dav_.locks.Within(path_, now_)) {
            clashing.push_back(std::move(below));
        }
    }
    if (std::any_of(clashing.begin(), clashing.end(),
                    [&](const dav::Lock& held) { return held.exclusive || wanted->exclusive; })) {
        return Precondition(Status::kLocked, "no-conflicting-lock");
    }
    return CreateLocked(*wanted, infinite);
}

Answer Exchange::Unlock() {
    std::string token(config::TrimBlanks(request_.LockToken().value_or("")));
    if (token.size() < 2 || token.front() != '<' || token.back() != '>') {
        return Plain(Status::kBadRequest);
    }
    token = token.substr(1, token.size() - 2);
    const std::vector<dav::Lock> held = dav_.locks.Covering(path_, now_);
    if (std::none_of(held.begin(), held.end(),
                     [&](const dav::Lock& lock) { return lock.token == token; })) {
        return Precondition(Status::kConflict, "lock-token-matches-request-uri");
    }
    dav_.locks.Remove(token);
    return Response(Status::kNoContent);
}

}  // namespace

bool IsDavMethod(http::Method method) {
    return method == http::Method::kOptions || method == http::Method::kPropfind ||
           http::Writes(method);
}

bool IsAcceptableName(std::string_view name) {
    if (name.empty() || name.size() > 255 || name.front() == '.') {
        return false;
    }
    if (std::any_of(name.begin(), name.end(), [](char c) {
            const auto byte = static_cast<unsigned char>(c);
            return byte < 0x20 || byte == 0x7F || c == '/' || c == '\\';
        })) {
        return false;
    }
    return cgi::ClassifyScript(name, true, true, true) == cgi::ScriptKind::kDocument;
}

Answer AnswerDav(const DavRequest& dav) {
    return Exchange(dav).Run();
}

}  // namespace quorvane::dav
