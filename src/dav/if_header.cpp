#include "dav/if_header.h"

namespace quorvane::dav {

namespace {

class IfReader {
  public:
    explicit IfReader(std::string_view text) : text_(text) {}

    std::optional<std::vector<IfList>> Lists() {
        std::vector<IfList> lists;
        std::optional<std::string> resource;
        for (SkipBlanks(); at_ < text_.size(); SkipBlanks()) {
            if (text_[at_] == '<') {
                resource = Enclosed('<', '>');
                if (!resource) {
                    return std::nullopt;
                }
                continue;
            }
            std::optional<IfList> list = List();
            if (!list) {
                return std::nullopt;
            }
            list->resource = resource;
            lists.push_back(std::move(*list));
        }
        if (lists.empty()) {
            return std::nullopt;
        }
        return lists;
    }

  private:
    void SkipBlanks() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t')) {
            ++at_;
        }
    }
    // The text between `open` and `close`, which must not be empty.
    std::optional<std::string> Enclosed(char open, char close) {
        if (at_ >= text_.size() || text_[at_] != open) {
            return std::nullopt;
        }
        const size_t end = text_.find(close, at_ + 1);
        if (end == std::string_view::npos || end == at_ + 1) {
            return std::nullopt;
        }
        std::string inside(text_.substr(at_ + 1, end - at_ - 1));
        at_ = end + 1;
        return inside;
    }
    std::optional<IfList> List() {
        if (text_[at_] != '(') {
            return std::nullopt;
        }
        ++at_;
        IfList list;
        for (SkipBlanks(); at_ < text_.size() && text_[at_] != ')'; SkipBlanks()) {
            IfCondition condition;
            if (text_.substr(at_, 3) == "Not") {
                condition.negated = true;
                at_ += 3;
                SkipBlanks();
            }
            condition.entityTag = at_ < text_.size() && text_[at_] == '[';
            std::optional<std::string> value =
                condition.entityTag ? Enclosed('[', ']') : Enclosed('<', '>');
            if (!value) {
                return std::nullopt;
            }
            condition.value = std::move(*value);
            list.conditions.push_back(std::move(condition));
        }
        if (at_ >= text_.size() || list.conditions.empty()) {
            return std::nullopt;
        }
        ++at_;
        return list;
    }

    std::string_view text_;
    size_t at_ = 0;
};

}  // namespace

std::optional<std::vector<IfList>> ParseIfHeader(std::string_view value) {
    return IfReader(value).Lists();
}

std::vector<std::string> SubmittedTokens(const std::vector<IfList>& lists) {
    std::vector<std::string> tokens;
    for (const IfList& list : lists) {
        for (const IfCondition& condition : list.conditions) {
            if (!condition.entityTag) {
                tokens.push_back(condition.value);
            }
        }
    }
    return tokens;
}

}  // namespace quorvane::dav
