#pragma once

// A disk that fills up on command: an SQLite VFS over the system's own, made the
// default while it lives, whose writes fail with SQLITE_FULL while `full` is set (as a
// write to a disk without room does). Everything else passes through.

#include <sqlite3.h>

#include <atomic>
#include <cstring>

namespace trackstest {

class FaultyDisk {
public:
    FaultyDisk() {
        base_ = sqlite3_vfs_find(nullptr);
        vfs_ = *base_;
        vfs_.zName = "sentrel-faulty-disk";
        vfs_.szOsFile = static_cast<int>(sizeof(File)) + base_->szOsFile;
        vfs_.pAppData = this;
        vfs_.xOpen = &Open;
        sqlite3_vfs_register(&vfs_, 1);
    }
    ~FaultyDisk() {
        sqlite3_vfs_unregister(&vfs_);
        sqlite3_vfs_register(base_, 1);
    }
    FaultyDisk(const FaultyDisk&) = delete;
    FaultyDisk& operator=(const FaultyDisk&) = delete;

    std::atomic<bool> full{false};

private:
    // Our part of the file first, the base VFS's own after it.
    struct File {
        sqlite3_file file;
        FaultyDisk* disk;
        sqlite3_file* real() { return reinterpret_cast<sqlite3_file*>(this + 1); }
    };
    static File* Of(sqlite3_file* f) { return reinterpret_cast<File*>(f); }

    static int Open(sqlite3_vfs* vfs, const char* name, sqlite3_file* f, int flags, int* out) {
        auto* disk = static_cast<FaultyDisk*>(vfs->pAppData);
        File* file = Of(f);
        std::memset(file, 0, sizeof(File));
        file->disk = disk;
        const int rc = disk->base_->xOpen(disk->base_, name, file->real(), flags, out);
        if (rc != SQLITE_OK || file->real()->pMethods == nullptr)
            return rc;
        disk->methods_ = *file->real()->pMethods;
        disk->methods_.xClose = [](sqlite3_file* g) {
            const int r = Of(g)->real()->pMethods->xClose(Of(g)->real());
            return r;
        };
        disk->methods_.xRead = [](sqlite3_file* g, void* p, int n, sqlite3_int64 at) {
            return Of(g)->real()->pMethods->xRead(Of(g)->real(), p, n, at);
        };
        disk->methods_.xWrite = [](sqlite3_file* g, const void* p, int n, sqlite3_int64 at) {
            if (Of(g)->disk->full)
                return SQLITE_FULL;
            return Of(g)->real()->pMethods->xWrite(Of(g)->real(), p, n, at);
        };
        disk->methods_.xTruncate = [](sqlite3_file* g, sqlite3_int64 size) {
            return Of(g)->real()->pMethods->xTruncate(Of(g)->real(), size);
        };
        disk->methods_.xSync = [](sqlite3_file* g, int flags) {
            return Of(g)->real()->pMethods->xSync(Of(g)->real(), flags);
        };
        disk->methods_.xFileSize = [](sqlite3_file* g, sqlite3_int64* size) {
            return Of(g)->real()->pMethods->xFileSize(Of(g)->real(), size);
        };
        disk->methods_.xLock = [](sqlite3_file* g, int l) {
            return Of(g)->real()->pMethods->xLock(Of(g)->real(), l);
        };
        disk->methods_.xUnlock = [](sqlite3_file* g, int l) {
            return Of(g)->real()->pMethods->xUnlock(Of(g)->real(), l);
        };
        disk->methods_.xCheckReservedLock = [](sqlite3_file* g, int* r) {
            return Of(g)->real()->pMethods->xCheckReservedLock(Of(g)->real(), r);
        };
        disk->methods_.xFileControl = [](sqlite3_file* g, int op, void* arg) {
            return Of(g)->real()->pMethods->xFileControl(Of(g)->real(), op, arg);
        };
        disk->methods_.xSectorSize = [](sqlite3_file* g) {
            return Of(g)->real()->pMethods->xSectorSize(Of(g)->real());
        };
        disk->methods_.xDeviceCharacteristics = [](sqlite3_file* g) {
            return Of(g)->real()->pMethods->xDeviceCharacteristics(Of(g)->real());
        };
        disk->methods_.xShmMap = [](sqlite3_file* g, int region, int size, int extend,
                                    void volatile** p) {
            return Of(g)->real()->pMethods->xShmMap(Of(g)->real(), region, size, extend, p);
        };
        disk->methods_.xShmLock = [](sqlite3_file* g, int offset, int n, int flags) {
            return Of(g)->real()->pMethods->xShmLock(Of(g)->real(), offset, n, flags);
        };
        disk->methods_.xShmBarrier = [](sqlite3_file* g) {
            Of(g)->real()->pMethods->xShmBarrier(Of(g)->real());
        };
        disk->methods_.xShmUnmap = [](sqlite3_file* g, int deleteFlag) {
            return Of(g)->real()->pMethods->xShmUnmap(Of(g)->real(), deleteFlag);
        };
        disk->methods_.xFetch = [](sqlite3_file* g, sqlite3_int64 at, int n, void** p) {
            return Of(g)->real()->pMethods->xFetch(Of(g)->real(), at, n, p);
        };
        disk->methods_.xUnfetch = [](sqlite3_file* g, sqlite3_int64 at, void* p) {
            return Of(g)->real()->pMethods->xUnfetch(Of(g)->real(), at, p);
        };
        file->file.pMethods = &disk->methods_;
        return rc;
    }

    sqlite3_vfs* base_;
    sqlite3_vfs vfs_;
    sqlite3_io_methods methods_{};
};

}  // namespace trackstest
