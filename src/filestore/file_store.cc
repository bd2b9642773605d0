// The file store behind the store interface.
#include <thread>

#include "filestore/file_store.h"
#include "filestore/filestore.h"
#include "store/selection.h"

namespace velkor {
namespace {

class FileStore final : public Store {
 public:
  explicit FileStore(std::filesystem::path root) : root_(std::move(root)) {}
  ~FileStore() override {
    if (answer_.joinable()) answer_.join();
  }

  // Nobody is asked: the answer is the directory's readability, given at once from another
  // thread as a platform store would.
  void requestFullAccessToEvents(AccessCompletion completion) override {
    answerLater(std::move(completion));
  }
  void requestAccessToEvents(AccessCompletion completion) override {
    answerLater(std::move(completion));
  }

  std::vector<Calendar> calendars() override {
    listed_ = listFileCalendars(root_);
    return calendarsOf(listed_);
  }

  void refreshSourcesIfNecessary() override {}

  EventList events(Instant start, Instant end, const std::vector<Calendar>& calendars) override {
    const auto selection = selectListed(listed_, calendars);
    std::vector<FileCalendar> selected;
    for (const FileCalendar* c : selection.records) selected.push_back(*c);
    EventList found = searchFileCalendars(selected, start, end);
    found.renumberCalendars(selection.asked);
    return found;
  }

 private:
  void answerLater(AccessCompletion completion) {
    if (answer_.joinable()) answer_.join();
    const bool granted = fileStoreAuthorization(root_) == AccessState::kFullAccess;
    answer_ = std::thread(
        [completion = std::move(completion), granted] { completion(granted, std::nullopt); });
  }

  std::filesystem::path root_;
  std::vector<FileCalendar> listed_;
  std::thread answer_;
};

}  // namespace

std::unique_ptr<Store> openFileStore(std::filesystem::path root) {
  return std::make_unique<FileStore>(std::move(root));
}

}  // namespace velkor
