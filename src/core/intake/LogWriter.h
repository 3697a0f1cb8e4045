#pragma once

#include <cstdint>
#include <string>

// Appends processed records to Sentrel.log and keeps it to about 10 MiB by moving it to
// SntOld.log. One writer only (the inbox worker), so no lock is needed. Failures lose
// the entry silently: the log must never stop message processing.
class CLogWriter {
public:
    static constexpr int64_t kRotateAboveBytes = 10485760;

    CLogWriter(std::string logPath, std::string oldLogPath);

    // Writes the bytes unchanged: the caller supplies "\r\n" where a line ends.
    void AppendLog(const std::string& text) const;

    const std::string& logPath() const { return logPath_; }
    const std::string& oldLogPath() const { return oldLogPath_; }

private:
    std::string logPath_;
    std::string oldLogPath_;
};
