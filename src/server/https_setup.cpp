#include "server/https_setup.h"

#include <charconv>

#include "config/setting_keys.h"
#include "config/text.h"
#include "tls/site_certificate.h"

namespace quorvane::server {

std::optional<uint16_t> ConfiguredHttpsPort(const config::Settings& settings) {
    const std::string setting = config::ServerValue(settings, config::setting::kHttpsPort);
    const std::string_view text = config::TrimBlanks(setting);
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value > 65535) {
        return std::nullopt;
    }
    return static_cast<uint16_t>(value);
}

HttpsSetup PrepareHttps(const config::Settings& settings, const config::ProgramFolder& folder,
                        const std::vector<std::string>& hostNames,
                        const std::vector<std::string>& hostAddresses,
                        std::chrono::system_clock::time_point now) {
    using namespace config::setting;
    HttpsSetup setup;
    const std::string certificateSetting =
        std::string(config::TrimBlanks(config::ServerValue(settings, kCertificateFile)));
    const std::string keySetting =
        std::string(config::TrimBlanks(config::ServerValue(settings, kKeyFile)));
    if (certificateSetting.empty() != keySetting.empty()) {
        setup.problem =
            "give both a certificate file and a key file, or neither for a self-signed "
            "certificate";
        return setup;
    }
    std::optional<tls::SiteCertificate> certificate;
    if (!certificateSetting.empty()) {
        setup.certificateFile = folder.Resolve(certificateSetting);
        certificate = tls::SiteCertificate::Load(setup.certificateFile, folder.Resolve(keySetting),
                                                 setup.problem);
    } else {
        setup.certificateFile = folder.Path() / config::kCertificateFileName;
        const std::filesystem::path keyFile = folder.Path() / config::kKeyFileName;
        std::string unusable;
        certificate = tls::SiteCertificate::Load(setup.certificateFile, keyFile, unusable);
        if (!certificate || certificate->NotAfter() <= now) {
            certificate = tls::SiteCertificate::Create(
                hostNames, hostAddresses, now, setup.certificateFile, keyFile, setup.problem);
            setup.created = certificate.has_value();
        }
    }
    if (certificate) {
        setup.context = certificate->ServerContext();
        setup.fingerprint = certificate->Sha256Fingerprint();
    }
    return setup;
}

}  // namespace quorvane::server
