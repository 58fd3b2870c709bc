// Test helper: trusts (or stops trusting) a certificate authority in the
// current user's ROOT system store of the Windows it runs on, so that a test
// CA made for one run can sign the certificate of a loopback HTTPS server.
// Meant for a throwaway Wine prefix; it never touches the host's trust store.
//
//   AddRootCert.exe [--remove] CA.der|CA.pem
//
// The certificate file is DER, or PEM ("-----BEGIN CERTIFICATE-----").
//
// Exit code 0 on success, 1 on failure (with a line on stderr), 2 on bad usage.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

class CertStore {
public:
    // The current user's system store of that name, as the registry holds it.
    explicit CertStore(const wchar_t* name) noexcept
        : handle_(CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, name)) {}
    ~CertStore() {
        if (handle_) CertCloseStore(handle_, 0);
    }
    CertStore(const CertStore&) = delete;
    CertStore& operator=(const CertStore&) = delete;
    HCERTSTORE get() const noexcept { return handle_; }

private:
    HCERTSTORE handle_;
};

class CertContext {
public:
    explicit CertContext(PCCERT_CONTEXT context) noexcept : context_(context) {}
    ~CertContext() {
        if (context_) CertFreeCertificateContext(context_);
    }
    CertContext(const CertContext&) = delete;
    CertContext& operator=(const CertContext&) = delete;
    PCCERT_CONTEXT get() const noexcept { return context_; }
    // Gives up ownership (CertDeleteCertificateFromStore frees the context itself).
    PCCERT_CONTEXT release() noexcept {
        PCCERT_CONTEXT context = context_;
        context_ = nullptr;
        return context;
    }

private:
    PCCERT_CONTEXT context_;
};

// The DER bytes of a PEM certificate; the bytes unchanged when they are DER already.
std::vector<BYTE> derOf(const std::vector<BYTE>& file) {
    static constexpr char PEM_START[] = "-----BEGIN";
    if (file.size() < sizeof PEM_START - 1 || std::memcmp(file.data(), PEM_START, sizeof PEM_START - 1) != 0)
        return file;
    const std::string text(file.begin(), file.end());
    DWORD size = 0;
    if (!CryptStringToBinaryA(text.c_str(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64HEADER, nullptr,
                              &size, nullptr, nullptr))
        return {};
    std::vector<BYTE> der(size);
    if (!CryptStringToBinaryA(text.c_str(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64HEADER, der.data(),
                              &size, nullptr, nullptr))
        return {};
    der.resize(size);
    return der;
}

int fail(const char* what) {
    std::fprintf(stderr, "AddRootCert: %s failed (error %lu)\n", what, GetLastError());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    const bool remove = argc == 3 && std::strcmp(argv[1], "--remove") == 0;
    if (argc != 2 && !remove) {
        std::fprintf(stderr, "usage: AddRootCert.exe [--remove] CA.der|CA.pem\n");
        return 2;
    }
    std::ifstream file(argv[argc - 1], std::ios::binary);
    const std::vector<BYTE> contents((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (contents.empty()) return fail("reading the certificate");
    const std::vector<BYTE> der = derOf(contents);
    if (der.empty()) return fail("decoding the PEM certificate");

    const CertStore root(L"ROOT");
    if (!root.get()) return fail("CertOpenStore(ROOT)");

    CertContext certificate(
        CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size())));
    if (!certificate.get()) return fail("CertCreateCertificateContext");

    if (!remove) {
        if (!CertAddCertificateContextToStore(root.get(), certificate.get(), CERT_STORE_ADD_REPLACE_EXISTING,
                                              nullptr))
            return fail("CertAddCertificateContextToStore");
        return 0;
    }
    CertContext found(
        CertFindCertificateInStore(root.get(), X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, certificate.get(), nullptr));
    if (!found.get()) return fail("CertFindCertificateInStore");
    if (!CertDeleteCertificateFromStore(found.release())) return fail("CertDeleteCertificateFromStore");
    if (!CertControlStore(root.get(), 0, CERT_STORE_CTRL_COMMIT, nullptr)) return fail("CertControlStore(COMMIT)");
    return 0;
}
