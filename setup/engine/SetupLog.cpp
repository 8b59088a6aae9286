#include "setup/engine/SetupLog.h"

#include <windows.h>

#include <utility>

#include "common/HandleOwners.h"
#include "setup/engine/CommandOperations.h"

namespace {

// The user's short date and long time pictures, taken once, on the first bind.
struct LocaleFormats {
    std::string date;
    std::string time;
};

std::string LocaleText(LCTYPE type) {
    char buffer[128] = {};
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buffer, sizeof(buffer)) == 0) return std::string();
    return buffer;
}

const LocaleFormats& Formats() {
    static const LocaleFormats formats{LocaleText(LOCALE_SSHORTDATE), LocaleText(LOCALE_STIMEFORMAT)};
    return formats;
}

// An empty picture lets the platform use the locale's own.
const char* PictureOrNull(const std::string& picture) { return picture.empty() ? nullptr : picture.c_str(); }

std::string FormattedDate(const SYSTEMTIME& now) {
    char buffer[128] = {};
    if (GetDateFormatA(LOCALE_USER_DEFAULT, 0, &now, PictureOrNull(Formats().date), buffer, sizeof(buffer)) == 0) {
        return std::string();
    }
    return buffer;
}

std::string FormattedTime(const SYSTEMTIME& now) {
    char buffer[128] = {};
    if (GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &now, PictureOrNull(Formats().time), buffer, sizeof(buffer)) == 0) {
        return std::string();
    }
    return buffer;
}

struct LogFile {
    std::string path;
    KernelHandle file;
};

LogFile& TheLog() {
    static LogFile log;
    return log;
}

}  // namespace

void BindLog(const std::string& path) {
    Formats();
    LogFile& log = TheLog();
    log.file.Reset();
    log.path = path;
}

void OpenLog() {
    LogFile& log = TheLog();
    log.file.Reset();
    if (log.path.empty()) return;
    // The user's temporary folder is open to every process of the user, who may also point TMP
    // elsewhere: it is reached with the user's rights. Whatever is at the name, a link to another
    // file too, goes, and the log is a file made anew. A name that is taken again in between is
    // refused, not followed. Readers (the user's editor) may look while the install runs.
    const UserRightsScope userRights(true);
    DeleteFileA(log.path.c_str());
    log.file.Reset(CreateFileA(log.path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (log.file) return;
    // A log that a reader holds cannot go: one that is a plain file of its own is emptied.
    KernelHandle old(CreateFileA(log.path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION information{};
    if (!old || !GetFileInformationByHandle(old.Get(), &information) || information.nNumberOfLinks != 1 ||
        (information.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0 ||
        !SetEndOfFile(old.Get())) {
        return;
    }
    log.file = std::move(old);
}

void WriteLog(LogLevel level, const std::string& message) {
    LogFile& log = TheLog();
    if (!log.file) return;
    SYSTEMTIME now;
    GetLocalTime(&now);
    const std::string line = FormatLogLine(FormattedDate(now), FormattedTime(now), level, message);
    // Unbuffered: each line reaches the file before the next step runs.
    DWORD written = 0;
    WriteFile(log.file.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}
