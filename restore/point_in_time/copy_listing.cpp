#include "restore/point_in_time/copy_listing.h"

#include "engine/copy_target.h"

#include <QMetaObject>
#include <QObject>

#include <algorithm>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace rk::restore {

// What the listing's thread and its owner share: the receiver, cleared when
// the owner goes, so the thread never hands an answer to a closed window.
struct CopyListing::Shared {
    std::mutex mutex;
    QObject* receiver = nullptr;
    std::function<void(const CopyListingAnswer&)> done;
};

CopyListingAnswer ListJobCopy(const std::string& remote) {
    CopyListingAnswer answer;
    const Result<CopyTarget> target = CheckCopyTarget(remote);
    if (!target) {
        answer.reason = target.reason();
        return answer;
    }
    Result<std::vector<RemoteFile>> files = ListCopyFiles(*target);
    if (!files) {
        answer.reason = files.reason();
        return answer;
    }
    answer.listed = true;
    answer.files = std::move(*files);
    return answer;
}

bool HeldOnCopy(const std::vector<RemoteFile>& copy, std::string_view archiveName,
                std::uint64_t size) {
    return std::any_of(copy.begin(), copy.end(), [&](const RemoteFile& file) {
        return file.name == archiveName && file.size >= 0 &&
               static_cast<std::uint64_t>(file.size) == size;
    });
}

CopyListing::CopyListing(std::string remote, QObject& receiver,
                         std::function<void(const CopyListingAnswer&)> done)
    : shared_(std::make_shared<Shared>()) {
    shared_->receiver = &receiver;
    shared_->done = std::move(done);
    const auto hand = [](const std::shared_ptr<Shared>& shared, CopyListingAnswer answer) {
        const std::lock_guard lock(shared->mutex);
        if (shared->receiver == nullptr)
            return;
        // Queued: the answer reaches the window between its events.
        QMetaObject::invokeMethod(
            shared->receiver, [done = shared->done, answer = std::move(answer)] { done(answer); },
            Qt::QueuedConnection);
    };
    try {
        std::thread([shared = shared_, remote = std::move(remote), hand] {
            hand(shared, ListJobCopy(remote));
        }).detach();
    } catch (const std::system_error& error) {
        CopyListingAnswer answer;
        answer.reason = std::string("no thread to list the copy: ") + error.what();
        hand(shared_, std::move(answer));
    }
}

CopyListing::~CopyListing() {
    const std::lock_guard lock(shared_->mutex);
    shared_->receiver = nullptr;
}

} // namespace rk::restore
