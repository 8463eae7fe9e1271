#pragma once

#include <functional>
#include <string_view>

#include "http/request.h"
#include "http/response.h"
#include "responses/folder_walk.h"
#include "responses/request_scope.h"
#include "responses/resolution.h"

namespace quorvane::responses {

// A folder asked for on the modern style, with what the road decided.
struct FolderAsk {
    const Resolution& resolution;  // a folder, with no default document
    const http::Request& request;
    const RequestScope& scope;
    // What may be shown below the folder (a search), and what may be taken
    // from it (a zip); the zip keeps its rules while it is sent.
    WalkAdmit shown;
    WalkAdmit taken;
    bool mayUpload = false;
    bool mayChange = false;
    // Which of the folder's own entries are listed; none: every one.
    std::function<bool(const std::string& name)> listed;
    // Where the way back up begins, and its name (the host's when empty).
    std::string top = "/";
    std::string topName;
    // Which names have thumbnails shown beside them.
    std::function<bool(std::string_view)> thumbnailable;
};

// The folder as its query asks: its page (sorted, or the results of a search
// of its tree), its JSON (`?format=json`, or asked for by Accept), or the
// folder as a zip streamed while it is written (`?format=zip`, with `pick`s).
http::Response AnswerFolder(const FolderAsk& ask);

}  // namespace quorvane::responses
