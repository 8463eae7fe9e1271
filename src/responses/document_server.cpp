#include "responses/document_server.h"

#include <sys/stat.h>
#include <unistd.h>

#include "config/list_file.h"
#include "config/text.h"
#include "responses/authentication.h"
#include "responses/content_type.h"
#include "responses/error_pages.h"
#include "responses/expiry.h"
#include "responses/file_body.h"
#include "responses/listing_pages.h"

namespace quorvane::responses {

namespace fs = std::filesystem;

namespace {

bool IsRegularFile(const fs::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool Exists(const fs::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

// The folder without one final separator, as a setting may give it.
fs::path FolderPath(const config::ProgramFolder& folder, std::string configured) {
    if (configured.size() > 1 && configured.back() == '/') {
        configured.pop_back();
    }
    return folder.Resolve(configured);
}

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

bool NamesHiddenEntry(std::string_view path) {
    size_t start = 0;
    while (start <= path.size()) {
        const size_t end = path.find('/', start);
        const std::string_view segment =
            path.substr(start, end == std::string_view::npos ? path.npos : end - start);
        if (!segment.empty() && segment.front() == '.') {
            return true;
        }
        if (end == std::string_view::npos) {
            break;
        }
        start = end + 1;
    }
    return false;
}

bool RequiresAuthentication(const std::optional<VirtualDirectory>& record,
                            const config::Settings& settings) {
    return (record && record->secure == "Yes") ||
           config::FlagEqualsOne(settings.Read("HomePage", "Secure", "0"));
}

Reply ServeDocument(DocumentRequest& request, const RequestScope& scope) {
    const std::string root = scope.settings.Read("HomePage", "RootDirectory", "www");
    const std::optional<VirtualDirectory> record =
        FindVirtualDirectory(*scope.List(config::kDirsList, 5), request.directory);
    const std::string& realm = request.directory;

    // Credentials are checked before anything is looked up on disk, so a
    // stranger cannot probe which folders exist on a protected site.
    if (RequiresAuthentication(record, scope.settings) &&
        !AuthenticateRequest(request.authorization, *scope.List(config::kUsersList, 2))) {
        return SendAuthChallenge(realm);
    }

    if (NamesHiddenEntry(request.directory) || NamesHiddenEntry(request.document)) {
        return SendErrorPage(ErrorCode::k404, scope);
    }

    const fs::path folder = record ? FolderPath(scope.folder, record->folder)
                                   : FolderPath(scope.folder, root + request.directory);
    if (!record && !Exists(folder)) {
        return SendErrorPage(ErrorCode::k404, scope);
    }

    bool found = true;
    if (request.document == "Default") {
        found = false;
        const auto defaults = scope.List(config::kDefaultList, 1);
        for (const config::Record& entry : *defaults) {
            const std::string& name = entry.front();
            if (!name.empty() && IsRegularFile(folder / name)) {
                request.document = name;
                found = true;
                break;
            }
        }
        if (!found &&
            config::FlagEqualsOne(scope.settings.Read("Documents", "DirectoryBrowsing", "0"))) {
            if (!fs::is_directory(folder)) {
                return SendErrorPage(ErrorCode::k404, scope);
            }
            return SendDirectoryListing(folder, request.directory, scope.host.hostName);
        }
    }

    const fs::path fullPath = folder / request.document;
    if (!found || request.document.empty() || scope.folder.IsOwnFile(fullPath)) {
        return SendErrorPage(ErrorCode::k404, scope);
    }
    return SendDocument(fullPath, request.document, scope);
}

}  // namespace quorvane::responses
