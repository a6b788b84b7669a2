#include "tools/rkzip/packed_source.h"

#include "tools/rkzip/file_source.h"

#include <algorithm>
#include <cstring>

namespace rk::tools {

namespace {

void Learn(PackedSourceState& state) {
    if (state.known)
        return;
    const PackedEntry& packed = state.packing->Wait(state.job);
    state.known = true;
    state.outcome = packed.outcome;
    state.bytes = packed.bytes.data();
    state.length = packed.bytes.size();
    state.deflated = packed.deflated;
    state.encrypted = packed.encrypted;
    state.size = packed.size;
    state.crc = packed.crc;
    if (state.outcome == PackedEntry::Outcome::Stopped)
        SetLibzipError(*state.read, ZIP_ER_CANCELLED);
}

// libzip copies an entry's bytes as they are when the source reports the
// method the entry is set to (deflate), and after reading takes the method,
// CRC and size the source reports then for the entry's headers. So before it
// is read, a packed file shows as deflated; after, as what it is.
zip_int64_t Stat(PackedSourceState& state, void* data) {
    auto* st = static_cast<zip_stat_t*>(data);
    zip_stat_init(st);
    st->valid =
        ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_CRC | ZIP_STAT_MTIME;
    st->size = state.size;
    st->comp_size = state.length;
    st->comp_method =
        state.deflated || !state.closed ? static_cast<zip_uint16_t>(ZIP_CM_DEFLATE) : ZIP_CM_STORE;
    st->crc = state.crc;
    st->mtime = static_cast<time_t>(state.read->file->mtime);
    // Bytes encrypted on a packing thread are copied as they are when the
    // entry is set to the same encryption; an AE-2 entry gives no CRC.
    if (state.encrypted) {
        st->valid |= ZIP_STAT_ENCRYPTION_METHOD;
        st->encryption_method = ZIP_EM_AES_256;
        st->crc = 0;
    }
    return sizeof(zip_stat_t);
}

zip_int64_t Read(PackedSourceState& state, void* data, zip_uint64_t length) {
    const std::uint64_t n = std::min(length, state.length - state.offset);
    if (n > 0)
        std::memcpy(data, state.bytes + state.offset, static_cast<std::size_t>(n));
    state.offset += n;
    return static_cast<zip_int64_t>(n);
}

zip_int64_t Callback(void* userdata, void* data, zip_uint64_t length, zip_source_cmd_t command) {
    auto& state = *static_cast<PackedSourceState*>(userdata);
    switch (command) {
    case ZIP_SOURCE_ERROR:
        return LibzipErrorData(*state.read, data, length);
    case ZIP_SOURCE_FREE:
        state.dropped = true;
        if (state.queued)
            state.packing->Release(state.job);
        return 0;
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                              ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE,
                                              -1);
    default:
        break;
    }
    if (!state.queued) {
        SetLibzipError(*state.read, ZIP_ER_INTERNAL);
        return -1;
    }
    Learn(state);
    switch (state.outcome) {
    case PackedEntry::Outcome::Ready:
        break;
    case PackedEntry::Outcome::TooLarge:
        return AnswerAsFileSource(*state.read, data, length, command);
    case PackedEntry::Outcome::Failed:
    case PackedEntry::Outcome::Stopped:
        return -1;
    }
    switch (command) {
    case ZIP_SOURCE_OPEN:
        // The bytes go once libzip has read them.
        if (state.closed) {
            SetLibzipError(*state.read, ZIP_ER_INTERNAL);
            return -1;
        }
        state.offset = 0;
        return 0;
    case ZIP_SOURCE_READ:
        return Read(state, data, length);
    case ZIP_SOURCE_CLOSE:
        state.closed = true;
        state.packing->Release(state.job);
        return 0;
    case ZIP_SOURCE_STAT:
        return Stat(state, data);
    default:
        SetLibzipError(*state.read, ZIP_ER_OPNOTSUPP);
        return -1;
    }
}

} // namespace

zip_source_t* MakePackedSource(zip_t* archive, PackedSourceState& state) {
    return zip_source_function(archive, Callback, &state);
}

} // namespace rk::tools
