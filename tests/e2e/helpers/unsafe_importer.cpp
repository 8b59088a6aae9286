// Imports wininet.dll statically, as programs that load DLLs unsafely do: beside planted DLLs,
// it shows that the planting is seen.
#include <windows.h>
#include <wininet.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    // Never called: the import alone loads the DLL, and a planted one has no such function.
    if (commandLine == nullptr) InternetCloseHandle(nullptr);
    return 0;
}
