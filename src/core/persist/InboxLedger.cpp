#include "persist/InboxLedger.h"

#include "persist/RecordBytes.h"

namespace {

constexpr std::string_view kMagic = "SNTINBX1";
// Path length and seven numbers.
constexpr std::size_t kLeastEntryBytes = 8 * 8;

using RecordBytes::PutU64;
using RecordBytes::Reader;

}  // namespace

const CInboxLedger::Entry* CInboxLedger::Find(const std::string& path) const {
    const auto it = entries.find(path);
    return it == entries.end() ? nullptr : &it->second;
}

bool CInboxLedger::AnyWith(Flag flag) const {
    for (const auto& [path, entry] : entries) {
        if ((entry.flags & flag) != 0)
            return true;
    }
    return false;
}

std::string CInboxLedger::Encode() const {
    std::string out(kMagic);
    PutU64(out, entries.size());
    for (const auto& [path, e] : entries) {
        PutU64(out, path.size());
        out += path;
        PutU64(out, e.stamp.device);
        PutU64(out, e.stamp.fileId);
        PutU64(out, static_cast<uint64_t>(e.stamp.size));
        PutU64(out, static_cast<uint64_t>(e.stamp.modifiedNs));
        PutU64(out, static_cast<uint64_t>(e.appliedBytes));
        PutU64(out, e.appliedChecksum);
        PutU64(out, e.flags);
    }
    RecordBytes::PutChecksum(out);
    return out;
}

bool CInboxLedger::Decode(std::string_view bytes, CInboxLedger& ledger) {
    ledger = CInboxLedger{};
    if (bytes.substr(0, kMagic.size()) != kMagic)
        return false;
    std::string_view body;
    if (!RecordBytes::ChecksummedBody(bytes, kMagic.size(), body))
        return false;

    Reader in(body);
    uint64_t count;
    if (!in.U64(count) || count > in.Left() / kLeastEntryBytes)
        return false;
    CInboxLedger read;
    for (uint64_t k = 0; k < count; ++k) {
        std::string path;
        Entry e;
        if (!in.Text(path) || !in.U64(e.stamp.device) || !in.U64(e.stamp.fileId) ||
            !in.I64(e.stamp.size) || !in.I64(e.stamp.modifiedNs) || !in.I64(e.appliedBytes) ||
            !in.U64(e.appliedChecksum) || !in.U64(e.flags))
            return false;
        read.entries[std::move(path)] = e;
    }
    if (in.Left() != 0)
        return false;
    ledger = std::move(read);
    return true;
}

CInboxLedger CInboxLedger::Load(const std::string& path) {
    CInboxLedger ledger;
    std::string bytes;
    if (FileSystem::ReadWholeFile(path, bytes))
        Decode(bytes, ledger);
    return ledger;
}
