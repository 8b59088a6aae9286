// Files and folders of an install: tests, creation, copies, reads and writes, and deletion at
// the next start of the system. The creating operations write their own log lines.
#pragma once

#include <string>
#include <unordered_map>

#include "common/HandleOwners.h"

// The file's full path in the Windows folder (the bare name when that folder is unknown), so
// that a program of the system is never taken from the current or the setup's own folder.
std::string WindowsFolderFile(const std::string& name);

bool FileExists(const std::string& path);       // an existing file, not a folder
// True when the folder is the root of a drive or share as written ("", "\", "C:", "C:\") or
// once resolved ("C:\a\..", "C:\.", "C:\\").
bool LeadsToRootFolder(const std::string& folder);
bool DirectoryExists(const std::string& path);  // an existing folder
// The file's size in bytes; 0 when it cannot be read.
unsigned long long FileSizeOf(const std::string& path);
// The bytes of the files in the folder and its subfolders.
unsigned long long FolderSizeOf(const std::string& path);

// Creates the folder and its missing parents. Logs "Create Directory" at Skip, Success or Error.
bool CreateDirectoryLogged(const std::string& path);

// Copies a file over any existing one and clears the copy's read-only attribute. Logs
// "Copy File"; on failure logs the text with " Error <code>" and raises it.
bool CopyFileLogged(const std::string& source, const std::string& destination);

// Files held open from the start of a run to its end, for reading and shared for reading only:
// no other process can write, rename or delete them meanwhile, and a folder above them renamed
// and refilled changes nothing, because copies are made from the held handles.
class PinnedFiles {
public:
    // Holds the file open; one that cannot be opened (missing, locked) is remembered with the
    // error, and a copy from it fails with that error. A path already held is not opened again.
    void Pin(const std::string& path);
    // The held handle of the file, or null (the error code left for GetLastError).
    HANDLE Find(const std::string& path) const;
    bool Holds(const std::string& path) const;
    // Lets go of every file.
    void Release() { files_.clear(); }

private:
    struct PinnedFile {
        KernelHandle file;
        unsigned long error;
    };
    const PinnedFile* Entry(const std::string& path) const;

    // By the path with its ASCII letters folded (mbcs::ToLower): one look-up per copy, however
    // many files the package has.
    std::unordered_map<std::string, PinnedFile> files_;
};

// CopyFileLogged from a pinned source: the copy is read from the held handle (attributes and
// the time of the last write kept, as CopyFileA keeps them); a source that was pinned without
// success fails with the error of that attempt; a source never pinned is copied by name.
bool CopyFileLogged(const PinnedFiles& pins, const std::string& source, const std::string& destination);

// Makes a new folder below parent, named prefix and a number, that only administrators and the
// system may change: its own access list, inheriting nothing, grants them full control and no
// one else anything. A folder of that name that is there already is never taken. True with its
// path in folder; false with the error code left for GetLastError.
bool CreateAdminOnlyFolder(const std::string& parent, const std::string& prefix, std::string& folder);

// True when the folder is owned by the owner that this process gives what it makes (an elevated
// administrator's: the Administrators group; measured with a file made and removed there) and
// its access list lets no one but that owner, the administrators and the system have any
// access: no process of normal rights made it or can change it.
bool IsOwnAdminOnlyFolder(const std::string& folder);

// Writes text as the file destination, a copy of source as it was read: logged and raised as
// CopyFileLogged logs and raises a copy from source.
bool WriteCopyLogged(const std::string& text, const std::string& source, const std::string& destination);

// Has the file deleted at the next start of the system; false when that could not be set up.
bool DeleteFileAtReboot(const std::string& path);

// Has the folder removed at the next start of the system, once it is empty; failures are ignored.
void DeleteFolderAtReboot(const std::string& path);

// The whole content of a file; false when it cannot be read.
bool ReadFileText(const std::string& path, std::string& text);
// Writes text as the whole content of a file; false on any failure.
bool WriteFileText(const std::string& path, const std::string& text);
