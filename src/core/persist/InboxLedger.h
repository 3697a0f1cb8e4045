#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "base/Fnv1a.h"
#include "platform/FileSystem.h"

// What the intake knows of the inbox files it has read: per file the version it read
// (its stamp), how many of its bytes are applied and their checksum, and what was
// decided about it. It is one file of the group commit ("SntInbox.dat" beside the data
// files), so it always describes exactly the records the data files hold:
//
// - a file is deleted only once its records are committed and only when it is still
//   the version read; a file changed since is not deleted, and the next pass applies
//   what follows the applied bytes when they are still the same (same checksum), or the
//   whole file when they are not (a new message under the old name);
// - a file that cannot be deleted is never applied again, across restarts too;
// - a file too large to be a message file is set aside unread and reported once.
//
// The file: "SNTINBX1", then every number as 8 bytes little-endian: the entry count and
// per entry (in path order) the path's length and bytes, device, file id, size,
// modification time (ns since 1970), applied bytes, their FNV-1a 64 checksum and the
// flags; last the FNV-1a 64 checksum of everything before it.
class CInboxLedger {
public:
    // Its name, beside the data files.
    static constexpr const char* kFileName = "SntInbox.dat";
    enum Flag : uint64_t {
        // Everything of this version is taken (read to its end, to the record flagged as
        // the last, or to a record cut short that settled): it goes once committed.
        kWhole = 1,
        // Larger than any message file: never read, left in the inbox.
        kSetAside = 2,
        // Applied and committed, but the deletion was refused.
        kUndeletable = 4,
    };
    struct Entry {
        FileSystem::FileStamp stamp;  // the version read
        int64_t appliedBytes = 0;     // always ends at a record boundary
        uint64_t appliedChecksum = kFnv1a64Start;
        uint64_t flags = 0;
        bool operator==(const Entry&) const = default;
    };

    // By path as the listing gives it.
    std::map<std::string, Entry> entries;

    const Entry* Find(const std::string& path) const;
    bool AnyWith(Flag flag) const;

    std::string Encode() const;
    // False for anything that is not a whole ledger (the ledger is then empty).
    static bool Decode(std::string_view bytes, CInboxLedger& ledger);
    // The ledger in `path`; empty when there is none or it is damaged (then every file
    // still in the inbox is read as new, as it would be without a ledger).
    static CInboxLedger Load(const std::string& path);
};
