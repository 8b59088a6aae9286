#include "setup/engine/FileOperations.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <vector>

#include "common/HandleOwners.h"
#include "common/Mbcs.h"
#include "setup/engine/SetupError.h"
#include "setup/engine/SetupLog.h"
#include "setup/script/PathText.h"
#include "setup/script/ScriptText.h"
#include "setup/script/WininitRename.h"

std::string WindowsFolderFile(const std::string& name) {
    char folder[MAX_PATH] = {};
    const UINT length = GetWindowsDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return name;
    return WithoutTrailingBackslash(folder) + "\\" + name;
}

bool FileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool LeadsToRootFolder(const std::string& folder) {
    if (IsRootFolder(folder)) return true;
    char full[MAX_PATH] = {};
    const DWORD length = GetFullPathNameA(folder.c_str(), MAX_PATH, full, nullptr);
    return length > 0 && length < MAX_PATH && IsRootFolder(std::string(full, length));
}

bool DirectoryExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

namespace {

// Creates the folder, first its missing parents; a folder that is there already counts as made.
// A path beyond the platform's limit is not made: Windows refuses it, Wine would nest
// thousands of folders.
bool CreateFolderTree(const std::string& path) {
    if (path.size() >= MAX_PATH) return false;
    if (CreateDirectoryA(path.c_str(), nullptr) || DirectoryExists(path)) return true;
    const std::string parent = FolderOf(path);
    if (parent == path || parent.empty() || !CreateFolderTree(parent)) return false;
    return CreateDirectoryA(path.c_str(), nullptr) || DirectoryExists(path);
}

}  // namespace

bool CreateDirectoryLogged(const std::string& path) {
    const std::string text = "Create Directory \"" + path + "\"";
    if (DirectoryExists(path)) {
        WriteLog(LogLevel::Skip, text);
        return true;
    }
    const bool created = CreateFolderTree(path);
    WriteLog(created ? LogLevel::Success : LogLevel::Error, text);
    return created;
}

namespace {

// Logs the copy's line, at Success, or at Error with the code (then raised); a copy made
// writable once it succeeded.
bool LogCopy(const std::string& source, const std::string& destination, DWORD error) {
    std::string text = "Copy File \"" + source + "\" to \"" + destination + "\"";
    if (error != ERROR_SUCCESS) {
        text += " Error " + std::to_string(error);
        WriteLog(LogLevel::Error, text);
        throw SetupError(text);
    }
    WriteLog(LogLevel::Success, text);
    const DWORD attributes = GetFileAttributesA(destination.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        SetFileAttributesA(destination.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    return true;
}

constexpr DWORD kCopiedAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                    FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Writes what the open file holds, from its start, as the file destination; 0 or the error code.
// A copy that fails half-way is removed.
DWORD CopyFromHandle(HANDLE source, const std::string& destination) {
    // The basic information only: GetFileInformationByHandle also reads the volume's, which
    // costs about 0.5 ms a call under Wine, a second per thousand files.
    FILE_BASIC_INFO information{};
    LARGE_INTEGER start{};
    if (!GetFileInformationByHandleEx(source, FileBasicInfo, &information, sizeof(information)) ||
        !SetFilePointerEx(source, start, nullptr, FILE_BEGIN)) {
        return GetLastError();
    }
    const FILETIME lastWrite{information.LastWriteTime.LowPart, static_cast<DWORD>(information.LastWriteTime.HighPart)};
    const DWORD attributes = information.FileAttributes & kCopiedAttributes;
    DWORD error = ERROR_SUCCESS;
    {
        const KernelHandle target(CreateFileA(destination.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                              attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!target) return GetLastError();
        std::vector<char> buffer(64 * 1024);
        DWORD got = 0;
        DWORD written = 0;
        while (error == ERROR_SUCCESS) {
            if (!ReadFile(source, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
                error = GetLastError();
            } else if (got == 0) {
                break;
            } else if (!WriteFile(target.Get(), buffer.data(), got, &written, nullptr) || written != got) {
                error = GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_WRITE_FAULT;
            }
        }
        if (error == ERROR_SUCCESS && !SetFileTime(target.Get(), nullptr, nullptr, &lastWrite)) {
            error = GetLastError();
        }
    }
    if (error != ERROR_SUCCESS) DeleteFileA(destination.c_str());
    return error;
}

}  // namespace

bool CopyFileLogged(const std::string& source, const std::string& destination) {
    const bool copied = CopyFileA(source.c_str(), destination.c_str(), FALSE) != FALSE;
    return LogCopy(source, destination, copied ? ERROR_SUCCESS : GetLastError());
}

void PinnedFiles::Pin(const std::string& path) {
    std::string key = mbcs::ToLower(path);
    if (files_.count(key) != 0) return;
    KernelHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    const DWORD error = file ? ERROR_SUCCESS : GetLastError();
    files_.emplace(std::move(key), PinnedFile{std::move(file), error});
}

const PinnedFiles::PinnedFile* PinnedFiles::Entry(const std::string& path) const {
    const auto found = files_.find(mbcs::ToLower(path));
    return found != files_.end() ? &found->second : nullptr;
}

bool PinnedFiles::Holds(const std::string& path) const { return Entry(path) != nullptr; }

HANDLE PinnedFiles::Find(const std::string& path) const {
    const PinnedFile* pinned = Entry(path);
    if (pinned == nullptr || !pinned->file) {
        SetLastError(pinned != nullptr ? pinned->error : ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    return pinned->file.Get();
}

bool CopyFileLogged(const PinnedFiles& pins, const std::string& source, const std::string& destination) {
    if (!pins.Holds(source)) return CopyFileLogged(source, destination);
    const HANDLE file = pins.Find(source);
    return LogCopy(source, destination, file != nullptr ? CopyFromHandle(file, destination) : GetLastError());
}

bool WriteCopyLogged(const std::string& text, const std::string& source, const std::string& destination) {
    std::string line = "Copy File \"" + source + "\" to \"" + destination + "\"";
    if (!WriteFileText(destination, text)) {
        line += " Error " + std::to_string(GetLastError());
        WriteLog(LogLevel::Error, line);
        throw SetupError(line);
    }
    WriteLog(LogLevel::Success, line);
    return true;
}

bool ReadFileText(const std::string& path, std::string& text) {
    text.clear();
    const KernelHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file.Get(), buffer, sizeof(buffer), &got, nullptr)) {
        if (got == 0) return true;
        text.append(buffer, got);
    }
    return false;
}

bool WriteFileText(const std::string& path, const std::string& text) {
    const KernelHandle file(
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

bool CreateAdminOnlyFolder(const std::string& parent, const std::string& prefix, std::string& folder) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    // Protected (P): nothing inherited from the parent, which any user may write to.
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
        return false;
    }
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
    // A name taken by someone else is left to them; the next number is tried.
    DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
    bool created = false;
    for (int attempt = 0; attempt < 100 && !created; ++attempt, seed = seed * 1103515245u + 12345u) {
        char name[16] = {};
        wsprintfA(name, "%08lX", static_cast<unsigned long>(seed));
        folder = WithoutTrailingBackslash(parent) + "\\" + prefix + name;
        created = CreateDirectoryA(folder.c_str(), &attributes) != FALSE;
        if (!created && GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    const DWORD error = GetLastError();
    LocalFree(descriptor);
    SetLastError(created ? ERROR_SUCCESS : error);
    return created;
}

bool IsOwnAdminOnlyFolder(const std::string& folder) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoA(folder.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                              &owner, nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    const LocalMemory held(descriptor);
    // The owner that the platform gives a file this process makes there: an elevated
    // administrator's token gives the Administrators group, Wine its Unix user. A name that is
    // taken already is no folder of this process's starter.
    const KernelHandle probe(CreateFileA((WithoutTrailingBackslash(folder) + "\\owner.probe").c_str(),
                                         GENERIC_READ | READ_CONTROL, 0, nullptr, CREATE_NEW,
                                         FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    PSID probeOwner = nullptr;
    PSECURITY_DESCRIPTOR probeDescriptor = nullptr;
    if (!probe || GetSecurityInfo(probe.Get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &probeOwner, nullptr,
                                  nullptr, nullptr, &probeDescriptor) != ERROR_SUCCESS) {
        return false;
    }
    const LocalMemory heldProbe(probeDescriptor);
    // A missing access list grants everyone everything.
    if (owner == nullptr || dacl == nullptr || probeOwner == nullptr || !EqualSid(owner, probeOwner)) return false;
    for (DWORD index = 0; index < dacl->AceCount; ++index) {
        void* ace = nullptr;
        if (!GetAce(dacl, index, &ace)) return false;
        const BYTE type = static_cast<ACE_HEADER*>(ace)->AceType;
        if (type == ACCESS_DENIED_ACE_TYPE) continue;
        if (type != ACCESS_ALLOWED_ACE_TYPE) return false;
        const PSID trustee = &static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart;
        if (!EqualSid(trustee, owner) && !IsWellKnownSid(trustee, WinLocalSystemSid) &&
            !IsWellKnownSid(trustee, WinBuiltinAdministratorsSid)) {
            return false;
        }
    }
    return true;
}

namespace {

// The Windows 95 family deletes at start what wininit.ini renames to "Nul".
void AddToWininit(const std::string& path) {
    char windows[MAX_PATH] = {};
    const UINT length = GetWindowsDirectoryA(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    char shortPath[MAX_PATH] = {};
    const DWORD shortLength = GetShortPathNameA(path.c_str(), shortPath, MAX_PATH);
    // Without a short name there is no line that would name the file.
    if (shortLength == 0 || shortLength >= MAX_PATH) return;

    const std::string wininit = WithoutTrailingBackslash(windows) + "\\wininit.ini";
    std::string text;
    StringList lines;
    if (FileExists(wininit) && ReadFileText(wininit, text)) lines = SplitLines(text);
    AddRenameToNul(lines, shortPath);
    text.clear();
    for (const std::string& line : lines) text += line + "\r\n";
    WriteFileText(wininit, text);
}

}  // namespace

unsigned long long FileSizeOf(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

unsigned long long FolderSizeOf(const std::string& path) {
    unsigned long long bytes = 0;
    WIN32_FIND_DATAA found;
    const FindHandle search(FindFirstFileA((path + "\\*").c_str(), &found));
    for (bool more = search.IsValid(); more; more = FindNextFileA(search.Get(), &found) != FALSE) {
        const std::string name = found.cFileName;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            bytes += (static_cast<unsigned long long>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        } else if (name != "." && name != ".." && (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
            bytes += FolderSizeOf(path + "\\" + name);
        }
    }
    return bytes;
}

bool DeleteFileAtReboot(const std::string& path) {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    if (GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
        AddToWininit(path);
        return true;
    }
    return MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
}

void DeleteFolderAtReboot(const std::string& path) { MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT); }
