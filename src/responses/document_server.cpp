#include "responses/document_server.h"

#include <unistd.h>

#include <functional>

#include "config/list_file.h"
#include "config/setting_keys.h"
#include "config/text.h"
#include "http/body_pieces.h"
#include "http/byte_ranges.h"
#include "http/conditions.h"
#include "http/http_date.h"
#include "responses/content_type.h"
#include "responses/date_text.h"
#include "responses/error_pages.h"
#include "responses/expiry.h"
#include "responses/fallback_type.h"
#include "responses/file_body.h"
#include "responses/listing_pages.h"
#include "responses/media_types.h"
#include "responses/validators.h"

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
std::string ContentTypeOf(std::string_view name, const FileBody& file, const RequestScope& scope) {
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

// The document is opened once: a missing file, a folder or an unreadable
// file is answered 404, and the length sent is the open file's own.
Reply SendDocument(const Resolution& resolution, const DocumentRequest& request,
                   const RequestScope& scope) {
    std::optional<FileBody> file = OpenExaminedFile(
        resolution.path, resolution.examined ? resolution.examined->Get() : -1, resolution.info);
    if (!file) {
        return SendErrorPage(ErrorCode::k404, scope);
    }
    const std::string contentType = ContentTypeOf(resolution.document, *file, scope);
    const auto expires = DocumentExpiry(scope.settings, scope.now);
    std::optional<std::string> footer;
    if (config::ToUpperAscii(contentType) == "TEXT/HTML" &&
        config::IsOn(scope.settings, setting::kEnableFooter)) {
        footer = config::ServerValue(scope.settings, setting::kFooterHtml);
    }

    // The validators name exactly the bytes this reply would send.
    const auto now = std::chrono::floor<std::chrono::seconds>(scope.now);
    const std::string etag = DocumentEtag(file->info, footer);
    const std::chrono::sys_seconds modified = LastModified(file->info, now);
    std::string validators =
        "Last-Modified: " + http::HttpDateText(modified) + "\r\nETag: " + etag + "\r\n";
    const http::ConditionalOutcome conditions =
        http::EvaluateConditions(request.request.ConditionFields(), {etag, modified, !footer}, now);
    if (conditions.precondition == http::Precondition::kNotModified) {
        Reply reply;
        reply.statusLine = StatusLine(Status::kNotModified);
        if (expires) {
            reply.fields = "Expires: " + ExpiryDateText(*expires) + "\r\n";
        }
        reply.fields += validators;
        reply.noBody = true;
        return reply;
    }
    if (conditions.precondition == http::Precondition::kFailed) {
        return SendRequestErrorPage(Status::kPreconditionFailed, scope.now);
    }

    // The document as the client gets it, its footer inserted before the
    // closing tag without reading the page into memory; ranges are cut from that.
    http::BodyPieces document;
    const std::optional<uint64_t> tag =
        footer ? http::FindClosingHtmlTag(file->file.Get(), file->size) : std::nullopt;
    document.AddSlice(0, tag.value_or(file->size));
    if (tag) {
        document.AddText(*footer);
        document.AddSlice(*tag, file->size - *tag);
    }
    const uint64_t length = document.Length();

    http::RangeRequest ranges;
    const std::optional<std::string> range = request.request.Range();
    if (range && request.get && conditions.rangeAllowed) {
        ranges = http::ParseRange(*range, length);
    }
    if (ranges.verdict == http::RangeVerdict::kUnsatisfiable) {
        Reply reply = SendRequestErrorPage(Status::kRangeNotSatisfiable, scope.now);
        reply.fields += "Content-Range: " + http::UnsatisfiedRangeText(length) + "\r\n";
        return reply;
    }

    HeadLines lines{.contentType = contentType,
                    .contentLength = length,
                    .expires = expires,
                    .acceptRanges = true};
    http::BodyPieces body = document;
    http::ByterangesBody multipart;  // outlives `lines`, which names its content type
    if (ranges.verdict == http::RangeVerdict::kPartial && ranges.ranges.size() == 1) {
        lines.status = Status::kPartialContent;
        validators +=
            "Content-Range: " + http::ContentRangeText(ranges.ranges.front(), length) + "\r\n";
        body = document.Slice(ranges.ranges.front());
    } else if (ranges.verdict == http::RangeVerdict::kPartial) {
        lines.status = Status::kPartialContent;
        multipart = http::LayOutByteranges(
            ranges.ranges, length, contentType,
            http::ByterangesBoundary(std::hash<std::string>{}(etag) ^
                                     static_cast<uint64_t>(scope.now.time_since_epoch().count())));
        lines.contentType = multipart.contentType;
        body = http::BodyPieces();
        for (const http::BodyPart& part : multipart.parts) {
            body.AddText(part.head);
            body.Add(document.Slice(part.slice));
        }
        body.AddText(multipart.closing);
    }
    lines.contentLength = body.Length();
    lines.more = validators;
    Reply reply = StandardReply(lines);
    // Streamed from the open file: the document is never held in memory.
    if (body.IsText()) {
        reply.body = body.Closing();
    } else if (body.IsOneSlice()) {
        const http::ByteRange slice = body.Parts().front().slice;
        reply.file = std::move(file->file);
        reply.fileOffset = slice.first;
        reply.fileLength = slice.Length();
    } else {
        reply.file = std::move(file->file);
        reply.parts = body.Parts();
        reply.closing = body.Closing();
    }
    return reply;
}

}  // namespace

Reply ServeDocument(const Resolution& resolution, const DocumentRequest& request,
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
