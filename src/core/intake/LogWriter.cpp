#include "intake/LogWriter.h"

#include <cstdio>
#include <utility>

#include "platform/FileSystem.h"
#include "platform/Platform.h"

CLogWriter::CLogWriter(std::string logPath, std::string oldLogPath)
    : logPath_(std::move(logPath)), oldLogPath_(std::move(oldLogPath)) {}

void CLogWriter::AppendLog(const std::string& text) const {
    std::FILE* file = std::fopen(Platform::ToNativePath(logPath_).c_str(), "ab");
    if (file == nullptr) {
        return;
    }
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        size = std::ftell(file);
    }
    if (size > kRotateAboveBytes) {
        std::fclose(file);
        // Only start a fresh log once its content is safe in the old log; if the copy
        // fails the entry goes on the end of the big log rather than wiping it.
        const bool saved = FileSystem::CopyFileOverwrite(logPath_, oldLogPath_);
        file = std::fopen(Platform::ToNativePath(logPath_).c_str(), saved ? "wb" : "ab");
        if (file == nullptr) {
            return;
        }
    }
    if (!text.empty()) {
        std::fwrite(text.data(), 1, text.size(), file);
    }
    std::fclose(file);
}
