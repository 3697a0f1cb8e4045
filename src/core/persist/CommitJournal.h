#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "persist/LogWriter.h"
#include "platform/FileSystem.h"

// What one group commit changes, written down (and synced) before any of it happens:
// the data files to put in place (already written and synced under temporary names),
// the log entries of the records, and the inbox files whose records they are. Once the
// journal is on the disk the commit has happened; a crash part-way through carrying it
// out is finished at the next start (Complete), so no record is applied twice or lost.
class CCommitJournal {
public:
    struct Replacement {
        std::string temporaryPath;
        std::string finalPath;
        int64_t size = 0;  // what the temporary file holds when it is complete
    };

    // An inbox file whose records are all applied, as it was when read: deleted only
    // while it is still that version (anything written to it since is read later).
    struct ProcessedFile {
        std::string path;
        FileSystem::FileStamp stamp;  // FileStamp{}: not known, deleted as it is
    };

    std::vector<Replacement> replacements;
    std::string logPath;
    std::string oldLogPath;
    CLogWriter::Batch log;
    std::vector<ProcessedFile> processedFiles;

    // A self-checking binary form: a magic text, the fields, and a checksum.
    std::string Encode() const;
    // False for anything that is not a whole journal (then nothing is carried out).
    static bool Decode(std::string_view bytes, CCommitJournal& journal);

    // Carries out what the journal says, in an order that is safe to repeat: the data
    // files are put in place, the log entries written, the inbox files deleted (those
    // still as they were read). False when a data file could not be put in place or the
    // log could not be written (no inbox file is deleted then): the journal must then be
    // kept and completed later. Inbox files that could not be deleted are added to
    // `undeleted`.
    bool Complete(std::vector<std::string>* undeleted) const;
};
