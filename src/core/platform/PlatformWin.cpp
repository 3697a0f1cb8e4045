// Operating-system facts on Windows.
#include <windows.h>

#include <iterator>
#include <string_view>
#include <vector>

#include "base/Cp1251.h"
#include "platform/Platform.h"

namespace {

std::wstring Wide(const std::string& text) {
    const std::u16string utf16 = Cp1251::ToUtf16(text);
    return std::wstring(utf16.begin(), utf16.end());
}

std::string Narrow(std::wstring_view wide) {
    return Cp1251::FromUtf16(std::u16string(wide.begin(), wide.end()));
}

}  // namespace

namespace Platform {

std::string GetProgramFolder() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n =
            ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            return ".";
        }
        // A full buffer means the name was cut short.
        if (n < buffer.size()) {
            const std::string exe = Narrow(std::wstring_view(buffer.data(), n));
            const auto slash = LastSeparator(exe);
            if (slash == std::string::npos) {
                return ".";
            }
            // "C:\Sentrel.exe": the root keeps its separator.
            return exe.substr(0, slash == 2 && exe[1] == ':' ? 3 : slash);
        }
        buffer.resize(buffer.size() * 2);
    }
}

// The wide calls take UTF-16 (FileSystemWin converts there); as bytes a path stays the
// Windows-1251 text the program holds.
std::string ToNativePath(const std::string& path) {
    return path;
}

std::string FromNativePath(const std::string& nativePath) {
    return nativePath;
}

std::string InstanceLockFolder() {
    wchar_t buffer[MAX_PATH + 2];
    const DWORD n = ::GetTempPathW(MAX_PATH + 2, buffer);
    if (n == 0 || n > MAX_PATH + 1) {
        return ".";
    }
    std::string folder = Narrow(std::wstring_view(buffer, n));
    while (folder.size() > 3 && IsSeparator(folder.back())) {
        folder.pop_back();
    }
    return folder;
}

std::optional<int> CurrentTimeZoneBiasMinutes() {
    TIME_ZONE_INFORMATION zone{};
    switch (::GetTimeZoneInformation(&zone)) {
        case TIME_ZONE_ID_DAYLIGHT:
            return static_cast<int>(zone.Bias + zone.DaylightBias);
        case TIME_ZONE_ID_STANDARD:
            return static_cast<int>(zone.Bias + zone.StandardBias);
        case TIME_ZONE_ID_UNKNOWN:  // a zone without daylight time
            return static_cast<int>(zone.Bias);
        default:
            return std::nullopt;
    }
}

std::string CurrentAccountName() {
    // UNLEN (256) characters and the terminator.
    wchar_t name[257];
    DWORD size = static_cast<DWORD>(std::size(name));
    if (!::GetUserNameW(name, &size) || size == 0)
        return {};
    return Narrow(std::wstring_view(name, size - 1));
}

}  // namespace Platform

CInstanceLock::~CInstanceLock() {
    if (handle_ != -1) {
        ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
    }
}

bool CInstanceLock::Acquire(const std::string& name) {
    if (handle_ != -1) {
        return true;
    }
    // No initial owner: the mutex is never waited on; that it exists is the lock.
    const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, Wide(name).c_str());
    if (mutex == nullptr) {
        return false;  // access denied: another account's copy made it
    }
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex);
        return false;
    }
    handle_ = reinterpret_cast<intptr_t>(mutex);
    return true;
}
