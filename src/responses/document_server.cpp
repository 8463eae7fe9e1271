#include "responses/document_server.h"

#include <unistd.h>

#include "config/list_file.h"
#include "config/text.h"
#include "responses/content_type.h"
#include "responses/error_pages.h"
#include "responses/expiry.h"
#include "responses/file_body.h"
#include "responses/listing_pages.h"

namespace quorvane::responses {

namespace fs = std::filesystem;

namespace {

// The document is opened once: a missing file, a folder or an unreadable
// file is answered 404, and the length sent is the open file's own.
Reply SendDocument(const fs::path& fullPath, std::string_view documentName,
                   const RequestScope& scope) {
    std::optional<FileBody> file = OpenFileBody(fullPath);
    if (!file) {
        return SendErrorPage(ErrorCode::k404, scope);
    }
    const std::string contentType =
        LookUpContentType(documentName, *scope.List(config::kMimeList, 1));
    const auto expires = DocumentExpiry(scope.settings, scope.now);
    const bool footerApplies =
        config::ToUpperAscii(contentType) == "TEXT/HTML" &&
        config::FlagEqualsOne(scope.settings.Read("Documents", "EnableFooter", "0"));
    Reply reply;
    if (footerApplies) {
        std::string page(file->size, '\0');
        size_t have = 0;
        while (have < page.size()) {
            const ssize_t got = ::pread(file->file.Get(), page.data() + have, page.size() - have,
                                        static_cast<off_t>(have));
            if (got <= 0) {
                break;  // shrank meanwhile: send what there is
            }
            have += static_cast<size_t>(got);
        }
        page.resize(have);
        InsertFooter(page, scope.settings.Read("Documents", "FooterHTML",
                                               "<p><b>Served By Quorvane2000</b>"));
        reply.body = std::move(page);
    } else {
        // Streamed from the open file: the page is never held in memory.
        reply.file = std::move(file->file);
        reply.fileSize = file->size;
    }
    reply.head = StandardHead(
        {.contentType = contentType, .contentLength = reply.BodySize(), .expires = expires});
    return reply;
}

}  // namespace

Reply ServeDocument(const Resolution& resolution, const RequestScope& scope) {
    switch (resolution.found) {
        case Found::kFile:
            return SendDocument(resolution.path, resolution.document, scope);
        case Found::kFolder:
            if (resolution.document.empty() &&
                config::FlagEqualsOne(scope.settings.Read("Documents", "DirectoryBrowsing", "0"))) {
                return SendDirectoryListing(resolution.folder, resolution.directory,
                                            scope.host.hostName, config::OwnFiles(scope.folder));
            }
            break;  // a document name that names a folder counts as missing
        case Found::kNothing:
            break;
    }
    return SendErrorPage(ErrorCode::k404, scope);
}

}  // namespace quorvane::responses
