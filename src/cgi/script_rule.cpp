#include "cgi/script_rule.h"

#include "config/text.h"

namespace quorvane::cgi {

namespace {

bool EndsWithIgnoringCase(std::string_view text, std::string_view ending) {
    return text.size() >= ending.size() &&
           config::EqualsIgnoringCase(text.substr(text.size() - ending.size()), ending);
}

bool HoldsIgnoringCase(std::string_view text, std::string_view part) {
    return config::ToUpperAscii(text).find(config::ToUpperAscii(part)) != std::string::npos;
}

}  // namespace

ScriptKind ClassifyScript(std::string_view fileName, bool scriptsAllowed, bool programsAllowed,
                          bool insideScriptFolder) {
    if (scriptsAllowed &&
        (EndsWithIgnoringCase(fileName, ".pl") || EndsWithIgnoringCase(fileName, ".cgi"))) {
        return ScriptKind::kPerl;
    }
    if (programsAllowed && EndsWithIgnoringCase(fileName, ".exe")) {
        return ScriptKind::kProgram;
    }
    if ((insideScriptFolder || scriptsAllowed || programsAllowed) &&
        (HoldsIgnoringCase(fileName, ".pl") || HoldsIgnoringCase(fileName, ".cgi") ||
         HoldsIgnoringCase(fileName, ".exe"))) {
        return ScriptKind::kRefused;
    }
    return ScriptKind::kDocument;
}

}  // namespace quorvane::cgi
