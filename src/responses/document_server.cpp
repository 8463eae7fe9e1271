#include "responses/document_server.h"

#include <unistd.h>

#include <functional>

#include "config/list_file.h"
#include "config/setting_keys.h"
#include "config/text.h"
#include "http/body_pieces.h"
#include "http/byte_ranges.h"
#include "http/byteranges_body.h"
#include "http/conditions.h"
#include "http/http_date.h"
#include "responses/content_type.h"
#include "responses/date_text.h"
#include "responses/error_pages.h"
#include "responses/expiry.h"
#include "responses/fallback_type.h"
#include "responses/listing_pages.h"
#include "responses/media_types.h"
#include "responses/open_file.h"
#include "responses/validators.h"
#include "server/limits.h"

namespace quorvane::responses {

namespace fs = std::filesystem;
namespace setting = config::setting;

namespace {

std::string ReadAll(int fd, uint64_t size) {
    std::string content(size, '\0');
    size_t have = 0;
    while (have < content.size()) {
        const ssize_t got =
            ::pread(fd, content.data() + have, content.size() - have, static_cast<off_t>(have));
        if (got <= 0) {
            break;  // shrank meanwhile: send what there is
        }
        have += static_cast<size_t>(got);
    }
    content.resize(have);
    return content;
}

// mime.lst first; then the system's table; then what the file's start looks
// like.
std::string ContentTypeOf(std::string_view name, const OpenFile& file, const RequestScope& scope) {
    if (std::optional<std::string> listed = LookUpContentType(name, *scope.config.mediaTypes)) {
        return *listed;
    }
    if (scope.mediaTypes != nullptr) {
        if (std::optional<std::string> known =
                scope.mediaTypes->TypeOf(name, SystemMediaTypes::Clock::now())) {
            return *known;
        }
    }
    const std::string start =
        ReadAll(file.file.Get(), std::min<uint64_t>(file.size, kSniffedBytes));
    return std::string(FallbackContentType(start, file.size));
}

// A document as it goes out: the open file, its type, and its bytes (the
// page with its footer before the closing tag, laid out without reading it),
// with the validators that name exactly those bytes.
struct Document {
    OpenFile file;
    std::string contentType;
    std::optional<std::chrono::sys_seconds> expires;
    std::string etag;
    std::chrono::sys_seconds lastModified;
    bool footed = false;  // a footer from the settings is in the bytes
    http::BodyPieces bytes;
};

std::optional<Document> OpenDocument(const Resolution& resolution, const RequestScope& scope) {
    std::optional<OpenFile> file = OpenExaminedFile(
        resolution.path, resolution.examined ? resolution.examined->Get() : -1, resolution.info);
    if (!file) {
        return std::nullopt;
    }
    Document document{.file = std::move(*file)};
    document.contentType = ContentTypeOf(resolution.document, document.file, scope);
    document.expires = DocumentExpiry(scope.settings, scope.now);
    std::optional<std::string> footer;
    // A folder visitors write to sends its files exactly as stored, so the
    // length a WebDAV client was told is the length it gets.
    if (config::ToUpperAscii(document.contentType) == "TEXT/HTML" &&
        !resolution.policy.TakesWrites() && config::IsOn(scope.settings, setting::kEnableFooter)) {
        footer = config::ServerValue(scope.settings, setting::kFooterHtml);
    }
    const uint64_t size = document.file.size;
    const std::optional<uint64_t> tag =
        footer ? http::FindClosingHtmlTag(document.file.file.Get(), size) : std::nullopt;
    document.bytes.AddSlice(0, tag.value_or(size));
    if (tag) {
        document.bytes.AddText(*footer);
        document.bytes.AddSlice(*tag, size - *tag);
    }
    document.footed = footer.has_value();
    document.etag = DocumentEtag(document.file.info, footer);
    document.lastModified =
        LastModified(document.file.info, std::chrono::floor<std::chrono::seconds>(scope.now));
    return document;
}

void AddValidators(http::Response& response, const Document& document) {
    response.fields.Add("Last-Modified", http::HttpDateText(document.lastModified));
    response.fields.Add("ETag", document.etag);
}

// 304 when the client's copy is current, 412 when a precondition fails; the
// conditions hold for every method. Nothing when the request goes on, and
// whether a range it asks for may be honoured.
std::optional<http::Response> CheckConditions(const Document& document,
                                              const DocumentRequest& request,
                                              const RequestScope& scope, bool& rangeAllowed) {
    const http::Method method = request.request.method;
    const http::ConditionalOutcome outcome = http::EvaluateConditions(
        request.request.ConditionFields(), {document.etag, document.lastModified, !document.footed},
        std::chrono::floor<std::chrono::seconds>(scope.now),
        method == http::Method::kGet || method == http::Method::kHead);
    rangeAllowed = outcome.rangeAllowed;
    if (outcome.precondition == http::Precondition::kNotModified) {
        http::Response notModified(Status::kNotModified);
        if (document.expires) {
            notModified.fields.Add("Expires", ExpiryDateText(*document.expires));
        }
        AddValidators(notModified, document);
        return notModified;
    }
    if (outcome.precondition == http::Precondition::kFailed) {
        return SendRequestErrorPage(Status::kPreconditionFailed, scope.now);
    }
    return std::nullopt;
}

// The whole document (200), one range of it or several (206), or 416.
http::Response CutRanges(Document& document, const DocumentRequest& request,
                         const RequestScope& scope, bool rangeAllowed) {
    const uint64_t length = document.bytes.Length();
    http::RangeRequest ranges;
    const std::optional<std::string> range = request.request.Range();
    if (range && request.get && request.ranges && rangeAllowed) {
        ranges = http::ParseRange(*range, length);
    }
    if (ranges.verdict == http::RangeVerdict::kUnsatisfiable) {
        http::Response refused = SendRequestErrorPage(Status::kRangeNotSatisfiable, scope.now);
        refused.fields.Add("Content-Range", http::UnsatisfiedRangeText(length));
        return refused;
    }
    const bool partial = ranges.verdict == http::RangeVerdict::kPartial;
    http::ByterangesBody multipart;
    if (partial && ranges.ranges.size() > 1) {
        multipart = http::LayOutByteranges(
            ranges.ranges, length, document.contentType,
            http::ByterangesBoundary(std::hash<std::string>{}(document.etag) ^
                                     static_cast<uint64_t>(scope.now.time_since_epoch().count())));
    }
    http::Response response = StandardResponse(
        {.status = partial ? Status::kPartialContent : Status::kOk,
         .contentType = multipart.parts.empty() ? std::string_view(document.contentType)
                                                : std::string_view(multipart.contentType),
         .expires = document.expires,
         .acceptRanges = true});
    AddValidators(response, document);
    http::BodyPieces sent = document.bytes;
    if (partial && ranges.ranges.size() == 1) {
        response.fields.Add("Content-Range", http::ContentRangeText(ranges.ranges.front(), length));
        sent = document.bytes.Slice(ranges.ranges.front());
    } else if (partial) {
        sent = http::BodyPieces();
        for (const http::BodyPart& part : multipart.parts) {
            sent.AddText(part.head);
            sent.Add(document.bytes.Slice(part.slice));
        }
        sent.AddText(multipart.closing);
    }
    // Streamed from the open file: the document is never held in memory.
    response.body = http::FileBody{
        std::make_shared<config::FileHandle>(std::move(document.file.file)), std::move(sent)};
    return response;
}

// The document is opened once: a missing file, a folder or an unreadable
// file is answered 404, and the length sent is the open file's own.
http::Response SendDocument(const Resolution& resolution, const DocumentRequest& request,
                            const RequestScope& scope) {
    std::optional<Document> document = OpenDocument(resolution, scope);
    if (!document) {
        return SendErrorPage(ErrorCode::k404, scope);
    }
    bool rangeAllowed = true;
    if (std::optional<http::Response> answered =
            CheckConditions(*document, request, scope, rangeAllowed)) {
        return std::move(*answered);
    }
    return CutRanges(*document, request, scope, rangeAllowed);
}

}  // namespace

http::Response ServeDocument(const Resolution& resolution, const DocumentRequest& request,
                             const RequestScope& scope) {
    switch (resolution.found) {
        case Found::kFile:
            return SendDocument(resolution, request, scope);
        case Found::kFolder:
            if (resolution.document.empty() &&
                config::IsOn(scope.settings, setting::kDirectoryBrowsing)) {
                return SendDirectoryListing(
                    resolution.folder, resolution.directory, scope.host.hostName,
                    OwnFilesWithKey(scope.folder, scope.settings,
                                    scope.snapshots.OwnFilesOf(scope.folder).get()),
                    scope.listings);
            }
            break;  // a document name that names a folder counts as missing
        case Found::kNothing:
            break;
    }
    return SendErrorPage(ErrorCode::k404, scope);
}

}  // namespace quorvane::responses
