#pragma once

#include <string_view>

namespace quorvane::cgi {

enum class ScriptKind {
    kDocument,  // served as a file
    kPerl,      // run under the Perl interpreter
    kProgram,   // run directly
    kRefused,   // looks like a script but may not run here: answered as a missing script
};

// The one rule for what runs. A name ending in ".pl" or ".cgi" (any letter
// case) runs under Perl where its folder allows scripts; a name ending in
// ".exe" runs directly where it allows programs; nothing else ever runs.
// Inside a folder that lets either run (`insideScriptFolder`, which may be an
// outer folder of the one that decides), any other name holding ".pl", ".cgi"
// or ".exe" ("run.pl.sh", "tool.exe" where programs are barred) is refused
// rather than served, so no script's source leaves a script folder. Elsewhere
// every name is a document.
ScriptKind ClassifyScript(std::string_view fileName, bool scriptsAllowed, bool programsAllowed,
                          bool insideScriptFolder);

}  // namespace quorvane::cgi
