#include "tls/site_certificate.h"

#include <arpa/inet.h>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <iterator>

#include "config/atomic_file.h"
#include "tls/private_file.h"

namespace quorvane::tls {

namespace {

struct FreeX509 {
    void operator()(X509* x) const { X509_free(x); }
};
struct FreeKey {
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
struct FreeBio {
    void operator()(BIO* b) const { BIO_free(b); }
};
struct FreeExtension {
    void operator()(X509_EXTENSION* e) const { X509_EXTENSION_free(e); }
};
struct FreeNumber {
    void operator()(BIGNUM* n) const { BN_free(n); }
};
using X509Ptr = std::unique_ptr<X509, FreeX509>;
using KeyPtr = std::unique_ptr<EVP_PKEY, FreeKey>;
using BioPtr = std::unique_ptr<BIO, FreeBio>;

// OpenSSL's own reason for the latest failure, for a message; the queue is
// emptied so it never spills into the next operation.
std::string OpenSslReason() {
    const unsigned long code = ERR_peek_last_error();
    ERR_clear_error();
    const char* reason = ERR_reason_error_string(code);
    return reason != nullptr ? reason : "unknown error";
}

BioPtr MemoryOf(const std::string& text) {
    return BioPtr(BIO_new_mem_buf(text.data(), static_cast<int>(text.size())));
}

std::string TextOf(BIO* bio) {
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    return size > 0 ? std::string(data, static_cast<size_t>(size)) : std::string();
}

// A key protected by a passphrase cannot be used: no one is there to type it.
int NoPassphrase(char*, int, int, void*) {
    return 0;
}

bool IsDnsName(const std::string& name) {
    return !name.empty() && name.size() <= 253 && name.front() != '-' && name.front() != '.' &&
           name.find_first_not_of(
               "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
               "0123456789.-") == std::string::npos;
}

bool AddExtension(X509* certificate, int nid, const std::string& value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    const std::unique_ptr<X509_EXTENSION, FreeExtension> extension(
        X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str()));
    return extension && X509_add_ext(certificate, extension.get(), -1) == 1;
}

}  // namespace

struct SiteCertificate::Material {
    X509Ptr certificate;
    std::vector<X509Ptr> chain;
    KeyPtr key;
};

std::optional<SiteCertificate> SiteCertificate::Load(const std::filesystem::path& certificateFile,
                                                     const std::filesystem::path& keyFile,
                                                     std::string& problem) {
    const std::optional<std::string> certificateText = config::ReadWholeFile(certificateFile);
    if (!certificateText) {
        problem = "the certificate file " + certificateFile.string() + " cannot be read";
        return std::nullopt;
    }
    const std::optional<std::string> keyText = config::ReadWholeFile(keyFile);
    if (!keyText) {
        problem = "the key file " + keyFile.string() + " cannot be read";
        return std::nullopt;
    }
    auto material = std::make_shared<Material>();
    const BioPtr certificates = MemoryOf(*certificateText);
    material->certificate.reset(
        PEM_read_bio_X509(certificates.get(), nullptr, NoPassphrase, nullptr));
    if (!material->certificate) {
        ERR_clear_error();
        problem = "the certificate file " + certificateFile.string() + " holds no PEM certificate";
        return std::nullopt;
    }
    while (X509* next = PEM_read_bio_X509(certificates.get(), nullptr, NoPassphrase, nullptr)) {
        material->chain.emplace_back(next);
    }
    ERR_clear_error();  // the end of the file reads as an error

    if (keyText->find("ENCRYPTED") != std::string::npos) {
        problem = "the key file " + keyFile.string() +
                  " is protected by a passphrase, which a server cannot type; remove it "
                  "(openssl pkey -in KEY -out KEY)";
        return std::nullopt;
    }
    const BioPtr key = MemoryOf(*keyText);
    material->key.reset(PEM_read_bio_PrivateKey(key.get(), nullptr, NoPassphrase, nullptr));
    if (!material->key) {
        ERR_clear_error();
        problem = "the key file " + keyFile.string() + " holds no PEM private key";
        return std::nullopt;
    }
    if (X509_check_private_key(material->certificate.get(), material->key.get()) != 1) {
        ERR_clear_error();
        problem = "the key in " + keyFile.string() + " does not belong to the certificate in " +
                  certificateFile.string();
        return std::nullopt;
    }
    return SiteCertificate(std::move(material));
}

namespace {

// A random positive serial number of 127 bits, as the standard allows, and
// validity from an hour ago (clocks differ) for `validity`.
bool SetSerialAndValidity(X509* certificate, EVP_PKEY* key, SiteCertificate::Clock::time_point now,
                          std::chrono::days validity) {
    unsigned char serial[16];
    if (RAND_bytes(serial, sizeof serial) != 1) {
        return false;
    }
    serial[0] &= 0x7f;
    const std::unique_ptr<BIGNUM, FreeNumber> number(BN_bin2bn(serial, sizeof serial, nullptr));
    const std::time_t start = SiteCertificate::Clock::to_time_t(now - std::chrono::hours(1));
    const std::time_t end = SiteCertificate::Clock::to_time_t(now + validity);
    return number &&
           BN_to_ASN1_INTEGER(number.get(), X509_get_serialNumber(certificate)) != nullptr &&
           X509_set_version(certificate, X509_VERSION_3) == 1 &&
           ASN1_TIME_set(X509_getm_notBefore(certificate), start) != nullptr &&
           ASN1_TIME_set(X509_getm_notAfter(certificate), end) != nullptr &&
           X509_set_pubkey(certificate, key) == 1;
}

std::vector<std::string> DnsNames(const std::vector<std::string>& names) {
    std::vector<std::string> dnsNames;
    std::copy_if(names.begin(), names.end(), std::back_inserter(dnsNames), IsDnsName);
    return dnsNames;
}

// The subject (and, self-signed, the issuer) names the machine; a common
// name holds at most 64 characters.
bool NameSubject(X509* certificate, const std::vector<std::string>& dnsNames) {
    const std::string commonName =
        dnsNames.empty() ? std::string("Quorvane2000") : dnsNames.front().substr(0, 64);
    X509_NAME* subject = X509_get_subject_name(certificate);
    const auto add = [&](const char* field, const std::string& value) {
        return X509_NAME_add_entry_by_txt(subject, field, MBSTRING_UTF8,
                                          reinterpret_cast<const unsigned char*>(value.c_str()), -1,
                                          -1, 0) == 1;
    };
    return add("O", "Quorvane2000 (self-signed)") && add("CN", commonName) &&
           X509_set_issuer_name(certificate, subject) == 1;
}

std::string AlternativeNames(const std::vector<std::string>& dnsNames,
                             const std::vector<std::string>& addresses) {
    std::string alternatives;
    for (const std::string& name : dnsNames) {
        alternatives += (alternatives.empty() ? "DNS:" : ",DNS:") + name;
    }
    for (const std::string& address : addresses) {
        in6_addr v6{};
        in_addr v4{};
        const bool isV4 = ::inet_pton(AF_INET, address.c_str(), &v4) == 1;
        const bool isV6 = !isV4 && ::inet_pton(AF_INET6, address.c_str(), &v6) == 1;
        // A link-local address only works with an interface name, which a
        // certificate cannot hold.
        if (isV4 || (isV6 && !IN6_IS_ADDR_LINKLOCAL(&v6))) {
            alternatives += (alternatives.empty() ? "IP:" : ",IP:") + address;
        }
    }
    return alternatives;
}

// A certificate for a server, not an authority: browsers refuse an
// authority's certificate in a server's place.
bool AddServerExtensions(X509* certificate, const std::string& alternatives) {
    return AddExtension(certificate, NID_basic_constraints, "critical,CA:FALSE") &&
           AddExtension(certificate, NID_key_usage, "critical,digitalSignature") &&
           AddExtension(certificate, NID_ext_key_usage, "serverAuth") &&
           AddExtension(certificate, NID_subject_key_identifier, "hash") &&
           (alternatives.empty() || AddExtension(certificate, NID_subject_alt_name, alternatives));
}

}  // namespace

std::optional<SiteCertificate> SiteCertificate::Create(const std::vector<std::string>& names,
                                                       const std::vector<std::string>& addresses,
                                                       Clock::time_point now,
                                                       const std::filesystem::path& certificateFile,
                                                       const std::filesystem::path& keyFile,
                                                       std::string& problem) {
    auto material = std::make_shared<Material>();
    material->key.reset(EVP_EC_gen("P-256"));
    material->certificate.reset(X509_new());
    X509* certificate = material->certificate.get();
    const auto fail = [&](std::string what) {
        problem =
            "a self-signed certificate could not be made (" + what + ": " + OpenSslReason() + ")";
        return std::nullopt;
    };
    if (!material->key || !certificate) {
        return fail("no key");
    }
    if (!SetSerialAndValidity(certificate, material->key.get(), now, kValidity)) {
        return fail("the certificate's fields");
    }
    const std::vector<std::string> dnsNames = DnsNames(names);
    if (!NameSubject(certificate, dnsNames)) {
        return fail("the certificate's name");
    }
    if (!AddServerExtensions(certificate, AlternativeNames(dnsNames, addresses))) {
        return fail("the certificate's extensions");
    }
    if (X509_sign(certificate, material->key.get(), EVP_sha256()) == 0) {
        return fail("signing");
    }

    const BioPtr keyPem(BIO_new(BIO_s_mem()));
    const BioPtr certificatePem(BIO_new(BIO_s_mem()));
    if (!keyPem || !certificatePem ||
        PEM_write_bio_PrivateKey(keyPem.get(), material->key.get(), nullptr, nullptr, 0, nullptr,
                                 nullptr) != 1 ||
        PEM_write_bio_X509(certificatePem.get(), certificate) != 1) {
        return fail("writing PEM");
    }
    // The key first: a certificate file never names a key that is not there.
    if (!WritePrivateFile(keyFile, TextOf(keyPem.get()))) {
        problem = "the key file " + keyFile.string() + " cannot be written";
        return std::nullopt;
    }
    if (!config::ReplaceFileContent(certificateFile, TextOf(certificatePem.get()))) {
        problem = "the certificate file " + certificateFile.string() + " cannot be written";
        return std::nullopt;
    }
    return SiteCertificate(std::move(material));
}

std::string SiteCertificate::Sha256Fingerprint() const {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (X509_digest(material_->certificate.get(), EVP_sha256(), digest, &length) != 1) {
        ERR_clear_error();
        return {};
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        if (i > 0) {
            text += ':';
        }
        text += kHex[digest[i] >> 4];
        text += kHex[digest[i] & 0xf];
    }
    return text;
}

SiteCertificate::Clock::time_point SiteCertificate::NotAfter() const {
    std::tm end{};
    if (ASN1_TIME_to_tm(X509_get0_notAfter(material_->certificate.get()), &end) != 1) {
        return Clock::time_point::min();
    }
    return Clock::from_time_t(::timegm(&end));
}

std::shared_ptr<asio::ssl::context> SiteCertificate::ServerContext() const {
    auto context = std::make_shared<asio::ssl::context>(asio::ssl::context::tls_server);
    SSL_CTX* native = context->native_handle();
    SSL_CTX_set_min_proto_version(native, TLS1_2_VERSION);
    SSL_CTX_set_options(
        native, SSL_OP_NO_COMPRESSION | SSL_OP_NO_RENEGOTIATION | SSL_OP_CIPHER_SERVER_PREFERENCE);
    // TLS 1.2 ciphers with forward secrecy and authenticated encryption;
    // TLS 1.3 has only such ciphers.
    SSL_CTX_set_cipher_list(native, "ECDHE+AESGCM:ECDHE+CHACHA20");
    // An idle kept connection holds no record buffers.
    SSL_CTX_set_mode(native, SSL_MODE_RELEASE_BUFFERS);
    SSL_CTX_use_certificate(native, material_->certificate.get());
    for (const X509Ptr& link : material_->chain) {
        SSL_CTX_add1_chain_cert(native, link.get());
    }
    SSL_CTX_use_PrivateKey(native, material_->key.get());
    ERR_clear_error();
    return context;
}

}  // namespace quorvane::tls
