#include "tls/site_certificate.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/child_process.h"
#include "support/temp_folder.h"

namespace quorvane::tls {
namespace {

using testing::RunCommand;

class SiteCertificateTest : public ::testing::Test {
  protected:
    std::string Path(const char* name) const { return (folder_.Path() / name).string(); }
    std::optional<SiteCertificate> Create(const char* certificate, const char* key) {
        return SiteCertificate::Create({"desk", "desk.local", "bad name!", "localhost"},
                                       {"127.0.0.1", "::1", "192.0.2.5", "fe80::1", "2001:db8::5"},
                                       now_, Path(certificate), Path(key), problem_);
    }
    // What openssl itself reads from a certificate file.
    std::string OpenSsl(const std::string& options, const char* file) {
        return RunCommand("openssl x509 -noout " + options + " -in " + Path(file) + " 2>&1").output;
    }

    testing::TempFolder folder_;
    std::chrono::system_clock::time_point now_ = std::chrono::system_clock::now();
    std::string problem_;
};

TEST_F(SiteCertificateTest, AMadeCertificateNamesThisMachineAndItsKeyStaysPrivate) {
    // An old key readable by everyone is replaced, not rewritten in place.
    folder_.Write("key.pem", "old");
    ::chmod(Path("key.pem").c_str(), 0644);
    const std::optional<SiteCertificate> made = Create("certificate.pem", "key.pem");
    ASSERT_TRUE(made) << problem_;
    EXPECT_EQ(testing::ModeOf(Path("key.pem")), 0600u);

    // The fingerprint is the one openssl (and a browser) shows.
    EXPECT_EQ(OpenSsl("-fingerprint -sha256", "certificate.pem"),
              "sha256 Fingerprint=" + made->Sha256Fingerprint() + "\n");
    EXPECT_EQ(made->Sha256Fingerprint().size(), 32u * 3 - 1);
    const std::string names = OpenSsl("-ext subjectAltName", "certificate.pem");
    for (const char* name : {"DNS:desk,", "DNS:desk.local,", "DNS:localhost",
                             "IP Address:127.0.0.1", "IP Address:0:0:0:0:0:0:0:1",
                             "IP Address:192.0.2.5", "IP Address:2001:DB8:0:0:0:0:0:5"}) {
        EXPECT_NE(names.find(name), std::string::npos) << name << " in " << names;
    }
    EXPECT_EQ(names.find("bad name"), std::string::npos);
    EXPECT_EQ(names.find("FE80"), std::string::npos) << "a link-local address needs a zone";
    // A server's certificate, not an authority's, which browsers refuse in its place.
    EXPECT_NE(OpenSsl("-ext basicConstraints,extendedKeyUsage", "certificate.pem").find("CA:FALSE"),
              std::string::npos);
    EXPECT_EQ(OpenSsl("-subject", "certificate.pem"),
              "subject=O = Quorvane2000 (self-signed), CN = desk\n");
    const auto days = std::chrono::duration_cast<std::chrono::hours>(made->NotAfter() - now_);
    EXPECT_NEAR(static_cast<double>(days.count()), 825.0 * 24, 1.0);
    // openssl checks the signature: the certificate is its own authority.
    EXPECT_EQ(RunCommand("openssl verify -CAfile " + Path("certificate.pem") + " " +
                         Path("certificate.pem"))
                  .status,
              0);

    const std::optional<SiteCertificate> loaded =
        SiteCertificate::Load(Path("certificate.pem"), Path("key.pem"), problem_);
    ASSERT_TRUE(loaded) << problem_;
    EXPECT_EQ(loaded->Sha256Fingerprint(), made->Sha256Fingerprint());
    EXPECT_NE(Create("second.pem", "second-key.pem")->Sha256Fingerprint(),
              made->Sha256Fingerprint());
}

}  // namespace
}  // namespace quorvane::tls
