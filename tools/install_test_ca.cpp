// Adds a DER certificate to the current user's Root store (the test CA of the simulator).
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: install_test_ca CA.der\n");
        return 2;
    }
    std::FILE* file = std::fopen(argv[1], "rb");
    if (file == nullptr) {
        std::fprintf(stderr, "install_test_ca: cannot open %s\n", argv[1]);
        return 1;
    }
    std::vector<unsigned char> der;
    unsigned char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof(buffer), file)) > 0) der.insert(der.end(), buffer, buffer + got);
    std::fclose(file);
    if (!CertAddEncodedCertificateToSystemStoreA("Root", der.data(), static_cast<DWORD>(der.size()))) {
        std::fprintf(stderr, "install_test_ca: error %lu\n", GetLastError());
        return 1;
    }
    return 0;
}
