#include "config/run_overrides.h"

namespace quorvane::config {

Configuration OverriddenConfiguration::Apply(Configuration read) {
    if (overrides_.Empty()) {
        return read;
    }
    if (read.settings && read.settings != read_) {
        read_ = read.settings;
        made_ = std::make_shared<const Settings>(read.settings->With(overrides_.settings));
    }
    if (read.settings) {
        read.settings = made_;
    }
    if (overrides_.directories) {
        if (!directories_) {
            directories_ = std::make_shared<const Directories>(*overrides_.directories);
        }
        read.directories = directories_;
    }
    return read;
}

}  // namespace quorvane::config
