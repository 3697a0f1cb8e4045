// The folder watch on Windows: a change notification and a stop event.
#include <windows.h>

#include "base/Cp1251.h"
#include "platform/DirectoryWatch.h"

CDirectoryWatch::~CDirectoryWatch() {
    Stop();
}

bool CDirectoryWatch::Start(const std::string& folder, std::function<void()> onChange) {
    Stop();
    const std::u16string utf16 = Cp1251::ToUtf16(folder);
    const std::wstring wide(utf16.begin(), utf16.end());
    // Names cover files created, renamed in or deleted; last write and size cover slow
    // writers that create the file under its final name.
    constexpr DWORD kFilter =
        FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE;
    const HANDLE watch = ::FindFirstChangeNotificationW(wide.c_str(), FALSE, kFilter);
    if (watch == INVALID_HANDLE_VALUE) {
        return false;
    }
    const HANDLE stop = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (stop == nullptr) {
        ::FindCloseChangeNotification(watch);
        return false;
    }
    watchHandle_ = reinterpret_cast<intptr_t>(watch);
    stopHandle_ = reinterpret_cast<intptr_t>(stop);
    thread_ =
        std::thread([this, onChange = std::move(onChange)]() mutable { Run(std::move(onChange)); });
    return true;
}

void CDirectoryWatch::Stop() {
    if (thread_.joinable()) {
        ::SetEvent(reinterpret_cast<HANDLE>(stopHandle_));
        thread_.join();
    }
    if (watchHandle_ != -1) {
        ::FindCloseChangeNotification(reinterpret_cast<HANDLE>(watchHandle_));
        watchHandle_ = -1;
    }
    if (stopHandle_ != -1) {
        ::CloseHandle(reinterpret_cast<HANDLE>(stopHandle_));
        stopHandle_ = -1;
    }
}

void CDirectoryWatch::Run(std::function<void()> onChange) {
    // The stop event comes first: when both are signalled, stopping wins.
    const HANDLE handles[2] = {reinterpret_cast<HANDLE>(stopHandle_),
                               reinterpret_cast<HANDLE>(watchHandle_)};
    for (;;) {
        const DWORD woke = ::WaitForMultipleObjects(2, handles, FALSE, INFINITE);
        if (woke != WAIT_OBJECT_0 + 1) {
            return;  // stopped, or the wait failed: the owner's polling carries on alone
        }
        // Re-arm before telling the owner, so a change made while it lists the folder
        // wakes it again.
        const bool rearmed = ::FindNextChangeNotification(handles[1]) != 0;
        onChange();
        if (!rearmed) {
            return;
        }
    }
}
