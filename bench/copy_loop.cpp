// The physical limit of an install: copies a folder tree file by file with CopyFileA, or
// deletes one file by file. Usage: copy_loop SOURCE DESTINATION | copy_loop /d FOLDER
#include <windows.h>

#include <cstring>
#include <string>

namespace {

void CopyTree(const std::string& source, const std::string& destination) {
    CreateDirectoryA(destination.c_str(), nullptr);
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((source + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (std::strcmp(found.cFileName, ".") == 0 || std::strcmp(found.cFileName, "..") == 0) continue;
        const std::string from = source + "\\" + found.cFileName;
        const std::string to = destination + "\\" + found.cFileName;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            CopyTree(from, to);
        } else {
            CopyFileA(from.c_str(), to.c_str(), FALSE);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

void DeleteTree(const std::string& folder) {
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (std::strcmp(found.cFileName, ".") == 0 || std::strcmp(found.cFileName, "..") == 0) continue;
            const std::string path = folder + "\\" + found.cFileName;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                DeleteTree(path);
            } else {
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    if (std::strcmp(argv[1], "/d") == 0) {
        DeleteTree(argv[2]);
    } else {
        CopyTree(argv[1], argv[2]);
    }
    return 0;
}
